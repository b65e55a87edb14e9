# The PLU file setting window and its two designer groups (the files of src/format).
target_sources(ostrel_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CPluFileSettingDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FixedDesignerGroup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MarkingStrip.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PreviewDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PreviewScan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SampleBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SeparatedDesignerGroup.cpp
)

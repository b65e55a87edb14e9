target_sources(ostrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ColumnOrder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FixedFieldRows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FixedForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FixedSample.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ImportFormatLoader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LayoutKeys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PluFileSettingSession.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PluIdFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PrsFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SampleFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SeparatedForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SeparatedPreview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StructFile.cpp
)

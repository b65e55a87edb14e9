# The configuration window and the scale input window (over src/settings).
target_sources(ostrel_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CConfigDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CScaleInputDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IpAddressEdit.cpp
)

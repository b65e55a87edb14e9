# The shell: hidden main window, tray icon and menu, the window of a desktop without a tray,
# progress and About windows, the Qt message box and dialog units.
target_sources(ostrel_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CAboutDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CMainDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CNoTrayDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CProgressDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CTrayIcon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DialogUnits.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramIcon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgressWindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtMessageSink.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TrayStatus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ostrel_ui.qrc
)

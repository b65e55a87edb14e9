target_sources(ostrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/LibraryThread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReplyData.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleSession.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScanFrame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TcpScaleLibrary.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TimedConnect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WireFrame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WireMessages.cpp
)

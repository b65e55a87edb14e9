target_sources(ostrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CallerWaits.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Ipv4Text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LibraryThread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReplyData.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleSession.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScanFrame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TcpScaleLibrary.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TimedConnect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WireFrame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WireMessages.cpp
)

# g++ warns that ThreadSanitizer does not see the fences inside Asio; Asio's own locks carry
# the ordering, so the warning is no finding of ours.
if(OSTREL_SANITIZE MATCHES "thread" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set_source_files_properties(
    ${CMAKE_CURRENT_LIST_DIR}/LibraryThread.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ScaleSession.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TcpScaleLibrary.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TimedConnect.cpp
    PROPERTIES COMPILE_OPTIONS -Wno-tsan)
endif()

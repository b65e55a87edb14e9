target_sources(ostrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CUDPServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleAnswer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleDiscovery.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleQuery.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleQueryCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScanMessages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScanReassembly.cpp
)

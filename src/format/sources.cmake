target_sources(ostrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ImportFormatLoader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LayoutKeys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PluIdFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PrsFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StructFile.cpp
)

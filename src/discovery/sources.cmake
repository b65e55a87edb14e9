target_sources(ostrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ScaleRecord.cpp
)

target_sources(ostrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ProfileBatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunSettingsFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsPaths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UpdatePeriod.cpp
)

target_sources(ostrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ConfigForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConnectionTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProfileBatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunSettingsFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleInput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleRecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SearchPattern.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsHolder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsPaths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsProblems.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UpdatePeriod.cpp
)

target_sources(ostrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ConfigForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigTemplate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FirstRun.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProfileBatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunSettingsFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleInput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScaleTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsPaths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsProblems.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UpdatePeriod.cpp
)
# The last place findConfigTemplateDir() looks: the template in this source tree. Not in a
# package: it would compile the build machine's path into the program.
if(OSTREL_SOURCE_TREE_TEMPLATE)
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/ConfigTemplate.cpp PROPERTIES
    COMPILE_DEFINITIONS "OSTREL_TEMPLATE_SOURCE_DIR=\"${PROJECT_SOURCE_DIR}/packaging/config-template\"")
endif()

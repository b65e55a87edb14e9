target_sources(ostrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ColumnOrder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigTemplate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DataFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FirstRun.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FixedFieldRows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FixedForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FixedSample.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ImportFormatLoader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LayoutKeys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PluFileSettingSession.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PluIdFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PrsFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SampleFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SeparatedForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SeparatedPreview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StructFile.cpp
)
# The last place findConfigTemplateDir() looks: the template in this source tree. Not in a
# package: it would compile the build machine's path into the program.
if(OSTREL_SOURCE_TREE_TEMPLATE)
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/ConfigTemplate.cpp PROPERTIES
    COMPILE_DEFINITIONS "OSTREL_TEMPLATE_SOURCE_DIR=\"${PROJECT_SOURCE_DIR}/packaging/config-template\"")
endif()

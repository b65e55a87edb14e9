target_sources(ostrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/RuleListEditor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RulesFile.cpp
)

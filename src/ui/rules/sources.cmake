# The replacement rules window and the limit of its text edits.
target_sources(ostrel_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CReplaceDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RuleTextValidator.cpp
)

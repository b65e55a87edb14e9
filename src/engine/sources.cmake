target_sources(ostrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ChangeWatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DataFileReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DataFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DataOption.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ImportSources.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LineParsers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LineSplitter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PluRecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReplaceRules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SendLog.cpp
)

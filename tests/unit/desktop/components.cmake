parlumo_gtest(unit_desktop_components unit
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/GlobalHotKeyTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HtmlHelpViewerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainInstanceTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AltKeyRepaintFixTest.cpp
  DEPS parlumo_desktop parlumo_runtime)

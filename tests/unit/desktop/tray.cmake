# The tray icon component through a fake tray shell.
parlumo_gtest(unit_desktop_tray unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TrayIconTest.cpp
  DEPS parlumo_desktop parlumo_runtime)

# The tray icon component: its logic over the tray shell interface.
list(APPEND DESKTOP_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/TrayShell.h
  ${CMAKE_CURRENT_LIST_DIR}/SimpleTimer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimpleTimer.h
  ${CMAKE_CURRENT_LIST_DIR}/TrayIcon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TrayIcon.h)

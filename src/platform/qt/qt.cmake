# The Qt adapters: event loop, tray, clipboard, message boxes, shell open.
list(APPEND PLATFORM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/QtDesktop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtDesktop.h
  ${CMAKE_CURRENT_LIST_DIR}/QtEventLoop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtEventLoop.h
  ${CMAKE_CURRENT_LIST_DIR}/QtText.h
  ${CMAKE_CURRENT_LIST_DIR}/QtTray.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtTray.h)

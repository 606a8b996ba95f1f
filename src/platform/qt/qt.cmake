# The Qt adapters: event loop, tray, clipboard, message boxes, shell open.
list(APPEND PLATFORM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/QtEventLoop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtEventLoop.h)

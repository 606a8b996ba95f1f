# The X11 adapters: hotkeys, key synthesis and key state.
list(APPEND PLATFORM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/VirtualKeys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VirtualKeys.h)

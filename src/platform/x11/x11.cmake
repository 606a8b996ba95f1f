# The X11 adapters: hotkeys, key synthesis and key state.
list(APPEND PLATFORM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/VirtualKeys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VirtualKeys.h
  ${CMAKE_CURRENT_LIST_DIR}/X11HotKeys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/X11HotKeys.h
  ${CMAKE_CURRENT_LIST_DIR}/X11KeyMap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/X11KeyMap.h
  ${CMAKE_CURRENT_LIST_DIR}/X11Keyboard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/X11Keyboard.h)

# The Linux adapters: autostart file, single-instance lock, help engine.
list(APPEND PLATFORM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/Autostart.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Autostart.h
  ${CMAKE_CURRENT_LIST_DIR}/HelpPages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HelpPages.h
  ${CMAKE_CURRENT_LIST_DIR}/InstanceChannel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InstanceChannel.h)

# Global hotkey, single instance, taskbar hiding, help viewer and the Alt-key
# repaint fix.
list(APPEND DESKTOP_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/GlobalHotKey.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HtmlHelpViewer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainInstance.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IconHide.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AltKeyRepaintFix.cpp)

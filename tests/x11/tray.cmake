# The tray component on QSystemTrayIcon in trayer; the shell's "open".
parlumo_x11_test(x11_tray
  SOURCES TrayX11Test.cpp DesktopShellX11Test.cpp X11TestSupport.cpp X11TestSupport.h
  DEPS parlumo_platform)
target_compile_definitions(x11_tray PRIVATE
  PARLUMO_X11_ARTIFACTS="${PROJECT_BINARY_DIR}/tests/artifacts")

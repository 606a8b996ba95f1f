# The global hotkeys, key synthesis and key state on the real server, with a
# peer application that copies its selection when it gets Ctrl+C.
find_package(X11 REQUIRED)

add_executable(x11_copy_peer CopyPeer.cpp)
target_link_libraries(x11_copy_peer PRIVATE Qt6::Widgets)
parlumo_warnings(x11_copy_peer)

parlumo_x11_test(x11_keyboard
  SOURCES HotKeyX11Test.cpp KeyboardX11Test.cpp KeyboardX11Support.cpp KeyboardX11Support.h
    X11TestSupport.cpp X11TestSupport.h
  DEPS parlumo_platform X11::X11)
target_compile_definitions(x11_keyboard PRIVATE
  PARLUMO_X11_COPY_PEER="$<TARGET_FILE:x11_copy_peer>")
add_dependencies(x11_keyboard x11_copy_peer)

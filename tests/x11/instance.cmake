# The single-instance guard between real copies of a program.
add_executable(x11_instance_peer InstancePeer.cpp)
target_link_libraries(x11_instance_peer PRIVATE parlumo_platform Qt6::Widgets)
parlumo_warnings(x11_instance_peer)

parlumo_x11_test(x11_instance
  SOURCES InstanceX11Test.cpp X11TestSupport.cpp X11TestSupport.h
  DEPS parlumo_platform)
target_compile_definitions(x11_instance PRIVATE
  PARLUMO_INSTANCE_PEER="$<TARGET_FILE:x11_instance_peer>")
add_dependencies(x11_instance x11_instance_peer)

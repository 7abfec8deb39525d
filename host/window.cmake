# Window helpers that keep the right window in front of the host.
add_library(laminor_host_window STATIC HostWindow.h HostWindow.cpp)
target_include_directories(laminor_host_window PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(laminor_host_window PUBLIC Qt6::Widgets)

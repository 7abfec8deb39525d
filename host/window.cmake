# Window helpers that keep the right window in front of the host.
add_library(laminor_host_window STATIC HostWindow.h HostWindow.cpp)
target_include_directories(laminor_host_window PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(laminor_host_window PUBLIC Qt6::Widgets)

add_executable(host_window_tests tests/host_window_test.cpp)
target_link_libraries(host_window_tests PRIVATE laminor_host_window GTest::gtest)
laminor_add_gtest(host_window_tests)

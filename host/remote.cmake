# The automation socket: wire format, the server that drawhost runs, the
# client that laminor and tagseek use, and the provider that finds or starts drawhost.
add_library(laminor_host_remote STATIC
  RemoteProtocol.h RemoteProtocol.cpp
  SocketIo.h SocketIo.cpp
  AutomationServer.h AutomationServer.cpp
  RemoteHost.h RemoteHost.cpp
  RemoteProvider.h RemoteProvider.cpp)
target_include_directories(laminor_host_remote PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(laminor_host_remote PUBLIC laminor_host Qt6::Network)

add_executable(host_remote_tests
  tests/FakeHost.h tests/FakeHost.cpp
  tests/remote_protocol_test.cpp)
target_link_libraries(host_remote_tests PRIVATE laminor_host_remote GTest::gtest)
laminor_add_gtest(host_remote_tests)

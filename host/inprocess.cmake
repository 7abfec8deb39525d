# The host interface over the drawing engine, in this process.
if(TARGET dxfengine)
  add_library(laminor_host_inprocess STATIC InProcessHost.h InProcessHost.cpp)
  target_include_directories(laminor_host_inprocess PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(laminor_host_inprocess PUBLIC laminor_host dxfengine)
endif()

if(TARGET laminor_host_inprocess)
  add_executable(host_inprocess_tests tests/inprocess_host_test.cpp)
  target_link_libraries(host_inprocess_tests PRIVATE laminor_host_inprocess GTest::gtest_main)
  target_compile_definitions(host_inprocess_tests PRIVATE LAMINOR_SAMPLES_DIR="${CMAKE_SOURCE_DIR}/samples")
  laminor_add_gtest(host_inprocess_tests)
endif()

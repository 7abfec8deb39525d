# The host interface benchmark: a rename pass in-process against the same pass
# through a real drawhost over its socket.
add_executable(host_bench ${CMAKE_SOURCE_DIR}/bench/host/host_bench.cpp)
target_link_libraries(host_bench PRIVATE laminor_host_inprocess laminor_host_remote)
if(TARGET laminor_host_ops)
  target_link_libraries(host_bench PRIVATE laminor_host_ops)
  target_compile_definitions(host_bench PRIVATE HOST_BENCH_WITH_OPERATIONS)
endif()

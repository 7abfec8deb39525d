# The host interface over the drawing engine, in this process.
if(TARGET dxfengine)
  add_library(laminor_host_inprocess STATIC InProcessHost.h InProcessHost.cpp)
  target_include_directories(laminor_host_inprocess PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(laminor_host_inprocess PUBLIC laminor_host dxfengine)
endif()

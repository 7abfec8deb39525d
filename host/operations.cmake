# The per-drawing layer operations (rename, state change), the host value
# lists they share with the rule dialogs, and their tests over an in-memory host.
add_library(laminor_host_ops STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/ValueLists.h ${CMAKE_CURRENT_SOURCE_DIR}/ValueLists.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/DrawingAccess.h ${CMAKE_CURRENT_SOURCE_DIR}/DrawingAccess.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/LayerNameRules.h ${CMAKE_CURRENT_SOURCE_DIR}/LayerNameRules.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/LayerStateRules.h ${CMAKE_CURRENT_SOURCE_DIR}/LayerStateRules.cpp)
target_include_directories(laminor_host_ops PUBLIC ${CMAKE_SOURCE_DIR})
# The engine only for its rules on which files a save may replace.
target_link_libraries(laminor_host_ops PUBLIC laminor_host laminor_support dxfengine Qt6::Core)

# The in-memory host is for tests only; the rule dialogs' tests use it too.
add_library(laminor_host_fake STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/FakeDrawingHost.h ${CMAKE_CURRENT_SOURCE_DIR}/tests/FakeDrawingHost.cpp)
target_include_directories(laminor_host_fake PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(laminor_host_fake PUBLIC laminor_host Qt6::Core)

add_executable(host_ops_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/value_lists_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/layer_name_rules_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/layer_state_rules_test.cpp)
target_link_libraries(host_ops_tests PRIVATE laminor_host_ops laminor_host_fake GTest::gtest_main)
laminor_add_gtest(host_ops_tests)

# The same operations on real drawings, through the in-process host, when
# that host is built.
if(TARGET laminor_host_inprocess AND EXISTS ${CMAKE_SOURCE_DIR}/testdata/drawings/floor-plan.dxf)
  add_executable(host_ops_inprocess_tests ${CMAKE_CURRENT_SOURCE_DIR}/tests/layer_rules_inprocess_test.cpp)
  target_link_libraries(host_ops_inprocess_tests PRIVATE laminor_host_ops laminor_host_inprocess GTest::gtest_main)
  target_compile_definitions(host_ops_inprocess_tests PRIVATE LAMINOR_SAMPLES_DIR="${CMAKE_SOURCE_DIR}/testdata/drawings")
  laminor_add_gtest(host_ops_inprocess_tests)
endif()

# Mode 4 in the host layer: the serial script generation (one block per
# drawing) and the dispatch that types a script into the host, with its wait
# dialog.
add_library(laminor_host_script STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/SerialScript.h ${CMAKE_CURRENT_SOURCE_DIR}/SerialScript.cpp)
target_include_directories(laminor_host_script PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(laminor_host_script PUBLIC laminor_host_ops laminor_host laminor_support Qt6::Core)

add_library(laminor_host_dispatch STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/ScriptDispatch.h ${CMAKE_CURRENT_SOURCE_DIR}/ScriptDispatch.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/frmDialogModal.h ${CMAKE_CURRENT_SOURCE_DIR}/frmDialogModal.cpp)
target_include_directories(laminor_host_dispatch PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(laminor_host_dispatch PUBLIC laminor_host_window laminor_host laminor_support Qt6::Widgets)

add_executable(host_script_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/serial_script_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/script_dispatch_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/script_test_main.cpp)
target_link_libraries(host_script_tests PRIVATE laminor_host_script laminor_host_dispatch laminor_host_fake
  Qt6::Test GTest::gtest)
laminor_add_gtest(host_script_tests)

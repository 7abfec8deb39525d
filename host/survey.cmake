# The layer survey (layer information to a workbook) and the state rule
# choice lists, written through a sink: the spreadsheet application or a
# workbook file, both above this layer.
add_library(laminor_host_survey STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/SurveySink.h
  ${CMAKE_CURRENT_SOURCE_DIR}/RuleValidation.h ${CMAKE_CURRENT_SOURCE_DIR}/RuleValidation.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/LayerSurvey.h ${CMAKE_CURRENT_SOURCE_DIR}/LayerSurvey.cpp)
target_include_directories(laminor_host_survey PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(laminor_host_survey PUBLIC laminor_host_ops laminor_support)

add_executable(host_survey_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/MemorySurveySink.h
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/layer_survey_test.cpp)
target_link_libraries(host_survey_tests PRIVATE laminor_host_survey laminor_host_fake GTest::gtest_main)
laminor_add_gtest(host_survey_tests)

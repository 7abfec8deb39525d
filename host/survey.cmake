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
target_link_libraries(host_survey_tests PRIVATE laminor_host_survey laminor_host_fake laminor_host_remote
                      GTest::gtest_main)
# One survey runs through a real drawhost (defined later), on a DWG and its DXF twin.
target_compile_definitions(host_survey_tests PRIVATE DRAWHOST_EXE="$<TARGET_FILE:drawhost>"
                           LAMINOR_CORPUS_DIR="${CMAKE_SOURCE_DIR}/testdata/corpus")
add_dependencies(host_survey_tests drawhost)
laminor_add_gtest(host_survey_tests)

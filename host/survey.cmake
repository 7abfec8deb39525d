# The layer survey (layer information to the spreadsheet), when the
# spreadsheet module is built.
if(TARGET laminor_calc)
  add_library(laminor_host_survey STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/LayerSurvey.h ${CMAKE_CURRENT_SOURCE_DIR}/LayerSurvey.cpp)
  target_include_directories(laminor_host_survey PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(laminor_host_survey PUBLIC laminor_calc_exchange laminor_host_ops laminor_support)
endif()

if(TARGET laminor_host_survey AND TARGET calc_tests)
  target_sources(calc_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests/layer_survey_test.cpp)
  target_link_libraries(calc_tests PRIVATE laminor_host_survey laminor_host_fake laminor_host_remote)
  # One survey runs through a real drawhost, on a DWG and its DXF twin.
  target_compile_definitions(calc_tests PRIVATE DRAWHOST_EXE="$<TARGET_FILE:drawhost>"
                             LAMINOR_CORPUS_DIR="${CMAKE_SOURCE_DIR}/testdata/corpus")
  add_dependencies(calc_tests drawhost)
endif()

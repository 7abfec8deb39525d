# The window's spreadsheet commands (rule import and export) and the mode-3
# workbook in the office, when the spreadsheet module is built. Their tests
# join the spreadsheet test run, which shares one office in one process.
if(TARGET laminor_calc)
  add_library(laminor_main_calc STATIC
    ${CMAKE_CURRENT_LIST_DIR}/RuleExchange.h ${CMAKE_CURRENT_LIST_DIR}/RuleExchange.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SpreadsheetExchange.h ${CMAKE_CURRENT_LIST_DIR}/SpreadsheetExchange.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CalcSurveySink.h ${CMAKE_CURRENT_LIST_DIR}/CalcSurveySink.cpp)
  target_include_directories(laminor_main_calc PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(laminor_main_calc PUBLIC laminor_main laminor_host_survey laminor_calc)

  target_sources(calc_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/tests/rule_exchange_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/spreadsheet_exchange_test.cpp)
  target_link_libraries(calc_tests PRIVATE laminor_main_calc laminor_host_fake)

  # The office's workbook and the file's, from the same survey, compared.
  if(TARGET laminor_xlsx AND TARGET laminor_host_inprocess)
    target_sources(calc_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/tests/survey_sinks_test.cpp)
    target_link_libraries(calc_tests PRIVATE laminor_xlsx laminor_host_inprocess)
    target_compile_definitions(calc_tests PRIVATE
      LAMINOR_TEST_DRAWINGS_DIR="${CMAKE_SOURCE_DIR}/testdata/drawings"
      LAMINOR_COMPARE_WORKBOOKS_PY="${CMAKE_CURRENT_LIST_DIR}/tests/compare_workbooks.py")
  endif()

  if(TARGET laminor_host_inprocess)
    add_executable(survey_bench ${CMAKE_CURRENT_LIST_DIR}/tools/survey_bench.cpp)
    target_link_libraries(survey_bench PRIVATE laminor_main_calc laminor_host_inprocess)
  endif()

  target_link_libraries(laminor PRIVATE laminor_main_calc)
  target_compile_definitions(laminor PRIVATE LAMINOR_HAVE_CALC)
endif()

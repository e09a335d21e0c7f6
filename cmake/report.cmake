# The report library (summary, HTML report, SVG plots), the program
# soilcal-report, which rebuilds a report from calibration_summary.json, and
# the report tests.
soilcal_subsystem(soilcal_report DIRS report DEPS soilcal_optimisation)
target_link_libraries(soilcal_report PUBLIC nlohmann_json::nlohmann_json)
add_executable(soilcal-report app/report_main.cpp)
target_link_libraries(soilcal-report PRIVATE soilcal_jobs soilcal_core)
target_link_libraries(soilcal_run PUBLIC soilcal_report)
target_link_libraries(soilcal_core INTERFACE soilcal_report)

if(SOILCAL_TESTS)
  file(GLOB report_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/report/*.cpp)
  if(report_tests)
    find_package(EXPAT QUIET)  # test-only: the XHTML well-formedness check
    add_executable(test_report ${report_tests})
    target_link_libraries(test_report PRIVATE soilcal_test_support GTest::gtest_main util)
    if(EXPAT_FOUND)
      target_link_libraries(test_report PRIVATE EXPAT::EXPAT)
      target_compile_definitions(test_report PRIVATE SOILCAL_HAVE_EXPAT=1)
    endif()
    add_dependencies(test_report soilcal soilcal-labtest soilcal-report)
    gtest_discover_tests(test_report DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
endif()

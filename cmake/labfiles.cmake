# Readers of the laboratory's own files (GDS triaxial exports, AGS4 groups,
# tidy tables) beside the TOML front end, which builds `from` tests with them.
soilcal_subsystem(soilcal_labfiles DIRS labfiles DEPS soilcal_services)
target_link_libraries(soilcal_jobfile PUBLIC soilcal_labfiles)

if(SOILCAL_TESTS)
  file(GLOB labfiles_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/labfiles/*.cpp)
  if(labfiles_tests)
    add_executable(test_labfiles ${labfiles_tests})
    target_link_libraries(test_labfiles PRIVATE soilcal_jobfile soilcal_labfiles
                          soilcal_test_support GTest::gtest_main)
    add_dependencies(test_labfiles soilcal soilcal-labtest ${test_fixtures})
    gtest_discover_tests(test_labfiles DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
  endif()
endif()

# The TOML job front end beside the engine: jobfile/ reads TOML jobs and CSV
# files and writes native jobs (and back); jobs/ prepares a run of either kind
# of job, batch/ runs several jobs, compare/ compares models on the same
# tests, and app/ holds the programs and their command dispatch.
# The optimisation-file reader takes job_language.json (JSON) into the job.
target_link_libraries(soilcal_input PUBLIC nlohmann_json::nlohmann_json)
# derive/ reads start values off measured tests; the TOML reader and
# `soilcal new` use it.
soilcal_subsystem(soilcal_derive DIRS derive DEPS soilcal_input)
soilcal_subsystem(soilcal_jobfile DIRS jobfile DEPS soilcal_input soilcal_models soilcal_derive
                  tomlplusplus::tomlplusplus)
soilcal_subsystem(soilcal_jobs DIRS jobs DEPS soilcal_run soilcal_jobfile)
soilcal_subsystem(soilcal_batch DIRS batch DEPS soilcal_jobs)
soilcal_subsystem(soilcal_compare DIRS compare DEPS soilcal_jobs)
soilcal_subsystem(soilcal_app DIRS app DEPS soilcal_jobs soilcal_batch soilcal_compare)
target_link_libraries(soilcal PRIVATE soilcal_app)

if(SOILCAL_TESTS)
  file(GLOB jobfile_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/jobfile/*.cpp)
  if(jobfile_tests)
    add_executable(test_jobfile ${jobfile_tests})
    # soilcal_optimisation: tests that simulate a TOML job's tests in-process.
    target_link_libraries(test_jobfile PRIVATE soilcal_jobfile soilcal_optimisation
                          soilcal_test_support GTest::gtest_main)
    add_dependencies(test_jobfile soilcal soilcal-labtest ${test_fixtures})
    gtest_discover_tests(test_jobfile DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
  file(GLOB derive_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/derive/*.cpp)
  if(derive_tests)
    add_executable(test_derive ${derive_tests})
    target_link_libraries(test_derive PRIVATE soilcal_jobfile soilcal_test_support GTest::gtest_main)
    add_dependencies(test_derive soilcal soilcal-labtest ${test_fixtures})
    gtest_discover_tests(test_derive DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
endif()

# The test suite (-DSOILCAL_TESTS=ON; scripts/test does it all): one
# GoogleTest program per subsystem in the top of the build folder, beside the
# programs they start, with the shared helpers of tests/support/.
if(NOT SOILCAL_TESTS)
  return()
endif()

find_package(GTest QUIET)
if(NOT GTest_FOUND)
  message(FATAL_ERROR "The tests need GoogleTest: install libgtest-dev, or configure with -DSOILCAL_TESTS=OFF")
endif()
enable_testing()
include(GoogleTest)

# A library without HS_CapItr (run error 4, loading by name).
add_library(soilcal_test_nocap SHARED ${CMAKE_SOURCE_DIR}/tests/run/fixture/no_cap_library.cc)
set_target_properties(soilcal_test_nocap PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${SOILCAL_FIXTURE_DIR})
set_property(GLOBAL APPEND PROPERTY SOILCAL_TEST_FIXTURES soilcal_test_nocap)
get_property(test_fixtures GLOBAL PROPERTY SOILCAL_TEST_FIXTURES)

file(GLOB support_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_library(soilcal_test_support STATIC ${support_sources})
target_include_directories(soilcal_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(soilcal_test_support PUBLIC soilcal_core GTest::gtest)
target_compile_definitions(soilcal_test_support PUBLIC
  SOILCAL_BINARY_DIR="${CMAKE_BINARY_DIR}" SOILCAL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  SOILCAL_FIXTURE_DIR="${SOILCAL_FIXTURE_DIR}")

foreach(sub services input models labtest optimisation run)
  file(GLOB_RECURSE test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${sub}/*.cpp)
  if(test_sources)
    add_executable(test_${sub} ${test_sources})
    target_link_libraries(test_${sub} PRIVATE soilcal_test_support GTest::gtest_main)
    # The programs and every library loaded at run time are built first.
    add_dependencies(test_${sub} soilcal soilcal-labtest ${test_fixtures})
    gtest_discover_tests(test_${sub} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
endforeach()

# The layering: every include runs down the rooms (scripts/check_layers.py);
# the second test plants upward includes in a small tree and expects both
# named, so a check that passes everything fails here.
find_program(SOILCAL_PYTHON3 python3)
if(SOILCAL_PYTHON3)
  add_test(NAME Layering COMMAND ${SOILCAL_PYTHON3} ${CMAKE_SOURCE_DIR}/scripts/check_layers.py
           ${CMAKE_SOURCE_DIR})
  add_test(NAME LayeringCatchesUpwardIncludes
           COMMAND ${SOILCAL_PYTHON3} ${CMAKE_SOURCE_DIR}/scripts/check_layers.py
                   ${CMAKE_SOURCE_DIR}/tests/fixtures/upward_include)
  set_tests_properties(LayeringCatchesUpwardIncludes PROPERTIES PASS_REGULAR_EXPRESSION
    "labtest/planted.cpp:4: labtest/ includes run/.*\npython/planted.cpp:2: python/ includes app/.*\n2 include\\(s\\) against the layering")
endif()

# The manual: the parameter tables of docs/models/ are rendered from the
# program's parameter table by soilcal_doc_tables (run it to rewrite them);
# test_docs fails while a committed page differs. DocsLinks checks every
# relative link and anchor of README.md and docs/.
add_library(soilcal_docs STATIC ${CMAKE_SOURCE_DIR}/tests/docs/parameter_pages.cpp)
target_include_directories(soilcal_docs PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(soilcal_docs PUBLIC soilcal_models)
add_executable(soilcal_doc_tables ${CMAKE_SOURCE_DIR}/tests/docs/doc_tables_main.cpp)
target_link_libraries(soilcal_doc_tables PRIVATE soilcal_docs)
add_executable(test_docs ${CMAKE_SOURCE_DIR}/tests/docs/docs_test.cpp)
target_link_libraries(test_docs PRIVATE soilcal_docs soilcal_test_support GTest::gtest_main)
gtest_discover_tests(test_docs DISCOVERY_TIMEOUT 60)
if(SOILCAL_PYTHON3)
  add_test(NAME DocsLinks COMMAND ${SOILCAL_PYTHON3} ${CMAKE_SOURCE_DIR}/scripts/check_links.py
           ${CMAKE_SOURCE_DIR})
  add_test(NAME DocsLinksCatchBrokenLinks
           COMMAND ${SOILCAL_PYTHON3} ${CMAKE_SOURCE_DIR}/scripts/check_links.py
                   ${CMAKE_SOURCE_DIR}/tests/fixtures/broken_links)
  set_tests_properties(DocsLinksCatchBrokenLinks PROPERTIES PASS_REGULAR_EXPRESSION
    "README.md:3: docs/missing.md does not exist.*\ndocs/page.md:5: no heading gives the anchor #no-such-section in page.md.*\ndocs/page.md:7: no heading gives the anchor #quick-start in ../README.md.*\n3 broken link")
endif()

# The benchmarks (Google Benchmark): SOILCAL_BENCH=AUTO builds them with the
# tests when the package is found, ON insists on them, OFF leaves them out.
if(SOILCAL_SANITIZE OR (NOT SOILCAL_BENCH STREQUAL "AUTO" AND NOT SOILCAL_BENCH))
  return()
endif()
if(SOILCAL_BENCH STREQUAL "AUTO" AND NOT SOILCAL_TESTS)
  return()
endif()

# The coverage study of the uncertainty estimate: a program of its own that
# prints its table (it needs no benchmark library).
add_executable(soilcal_coverage ${CMAKE_SOURCE_DIR}/bench/coverage/uncertainty_coverage.cpp)
target_include_directories(soilcal_coverage PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(soilcal_coverage PRIVATE soilcal_core NLopt::nlopt)

# The liquefaction study of the UBC3D sand against the field curve: a
# program that prints its tables.
add_executable(soilcal_liquefaction_study ${CMAKE_SOURCE_DIR}/bench/liquefaction/liquefaction_study.cpp)
target_include_directories(soilcal_liquefaction_study PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(soilcal_liquefaction_study PRIVATE soilcal_core)

find_package(benchmark QUIET)
if(NOT benchmark_FOUND)
  if(NOT SOILCAL_BENCH STREQUAL "AUTO")
    message(FATAL_ERROR "The benchmarks need Google Benchmark: install libbenchmark-dev, or configure with -DSOILCAL_BENCH=OFF")
  endif()
  return()
endif()

file(GLOB bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
add_executable(soilcal_bench ${bench_sources})
target_include_directories(soilcal_bench PRIVATE ${CMAKE_SOURCE_DIR}/bench)
target_link_libraries(soilcal_bench PRIVATE soilcal_core benchmark::benchmark benchmark::benchmark_main)
target_compile_definitions(soilcal_bench PRIVATE SOILCAL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

# The hypoplastic sand library "hypoplastic_sand.dll", built beside the
# program as libhypoplastic_sand64.so (where the program looks for user-model
# libraries) and installed with it. The model's sources also form a static
# library that the tests link to check the equations directly.
set(_hypo_dir ${CMAKE_CURRENT_LIST_DIR}/library)
add_library(hypoplastic_sand_core STATIC
  ${_hypo_dir}/parameters.cpp ${_hypo_dir}/rate.cpp ${_hypo_dir}/integrate.cpp)
set_target_properties(hypoplastic_sand_core PROPERTIES POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(hypoplastic_sand_core PRIVATE ${_hypo_dir})
target_link_libraries(hypoplastic_sand_core PUBLIC Eigen3::Eigen)

add_library(hypoplastic_sand SHARED ${_hypo_dir}/library.cpp ${_hypo_dir}/describe.cpp)
set_target_properties(hypoplastic_sand PROPERTIES OUTPUT_NAME hypoplastic_sand64
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(hypoplastic_sand PRIVATE ${CMAKE_SOURCE_DIR}/include)
target_link_libraries(hypoplastic_sand PRIVATE hypoplastic_sand_core)

add_dependencies(soilcal_models hypoplastic_sand)

# The model tests check the equations through the core library, the TOML
# job tests compare a run of the program with them; both load the library.
function(hypoplastic_sand_test_link)
  foreach(t test_models test_jobfile)
    if(TARGET ${t})
      target_link_libraries(${t} PRIVATE hypoplastic_sand_core)
      add_dependencies(${t} hypoplastic_sand)
    endif()
  endforeach()
endfunction()
cmake_language(DEFER CALL hypoplastic_sand_test_link)

# The Karlsruhe study (bench/karlsruhe): a program of its own that prints its
# tables, built with the tests.
if(SOILCAL_TESTS AND NOT SOILCAL_SANITIZE)
  set(_study ${CMAKE_SOURCE_DIR}/bench/karlsruhe)
  # The figures are drawn by the report's SVG plots, a source of its own that
  # needs nothing of the program's libraries.
  add_executable(hypoplastic_karlsruhe_study ${_study}/karlsruhe_study.cpp
    ${_study}/karlsruhe_data.cpp ${_study}/karlsruhe_calibration.cpp ${_study}/karlsruhe_figures.cpp
    ${CMAKE_SOURCE_DIR}/report/svg_plot.cpp)
  target_include_directories(hypoplastic_karlsruhe_study PRIVATE ${CMAKE_SOURCE_DIR})
  find_package(Threads REQUIRED)  # the tests of a calibration run side by side
  target_link_libraries(hypoplastic_karlsruhe_study PRIVATE hypoplastic_sand_core NLopt::nlopt
    Threads::Threads)
  target_compile_definitions(hypoplastic_karlsruhe_study PRIVATE
    SOILCAL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()

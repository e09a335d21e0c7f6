# The cap-parameter library of the Hardening Soil models, loaded at run time
# as "zarirude.dll" (libzarirude.so beside the program). It shares only the
# header-only formulas of the model.
add_library(zarirude SHARED ${CMAKE_CURRENT_LIST_DIR}/caplib/hs_capitr.cpp)
set_target_properties(zarirude PROPERTIES OUTPUT_NAME zarirude
                      CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(zarirude PRIVATE ${CMAKE_SOURCE_DIR})

# The program and the tests that load the library at run time need it built.
function(zarirude_runtime_dependencies)
  foreach(t soilcal test_models test_labtest test_run soilcal_bench)
    if(TARGET ${t})
      add_dependencies(${t} zarirude)
    endif()
  endforeach()
endfunction()
cmake_language(DEFER CALL zarirude_runtime_dependencies)

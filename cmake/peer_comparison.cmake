# The comparison of our searches with pagmo2's particle swarm and
# differential evolution (bench/peers/). Built only where Debian's
# libpagmo-dev is installed; neither the program nor the tests need it.
if(SOILCAL_BENCH AND NOT SOILCAL_SANITIZE)
  find_package(pagmo QUIET CONFIG)
  if(pagmo_FOUND)
    add_executable(soilcal_peers ${CMAKE_SOURCE_DIR}/bench/peers/peer_comparison.cpp)
    target_link_libraries(soilcal_peers PRIVATE soilcal_core Pagmo::pagmo)
    target_compile_definitions(soilcal_peers PRIVATE SOILCAL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  endif()
endif()

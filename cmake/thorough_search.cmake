# The thorough search refines its best point with NLopt's Sbplx when the
# library is installed (Debian: libnlopt-dev, which ships a CMake package
# configuration). Without it the thorough search runs its global stage only.
find_package(NLopt QUIET CONFIG)
if(NLopt_FOUND AND TARGET NLopt::nlopt)
  message(STATUS "NLopt found: thorough search with local refinement")
  target_link_libraries(soilcal_optimisation PRIVATE NLopt::nlopt)
  target_compile_definitions(soilcal_optimisation PRIVATE SOILCAL_HAVE_NLOPT)
else()
  message(STATUS "NLopt not found: thorough search without local refinement")
endif()

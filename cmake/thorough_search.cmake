# The thorough search refines its best point with NLopt's Sbplx.
target_link_libraries(soilcal_optimisation PRIVATE NLopt::nlopt)

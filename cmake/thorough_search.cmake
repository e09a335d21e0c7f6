# The thorough search refines its best point with NLopt's Sbplx, which also
# re-minimises the profile likelihoods; Eigen decomposes their Jacobian.
target_link_libraries(soilcal_optimisation PRIVATE NLopt::nlopt PUBLIC Eigen3::Eigen)

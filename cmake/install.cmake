# cmake --install build --prefix DIR: the programs in bin/, the libraries they
# load at run time (cap parameters, user-model bridge, example user model,
# hypoplastic sand) in lib/, the header for user-model libraries in
# include/soilcal/. The programs find lib/ through their run path and their own ../lib search, from any
# working folder. Test fixture libraries are not installed.
set_target_properties(soilcal soilcal-labtest PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
set_target_properties(zarirude udsm_bridge udsm_usermod hypoplastic_sand PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS soilcal soilcal-labtest RUNTIME DESTINATION bin)
install(TARGETS zarirude udsm_bridge udsm_usermod hypoplastic_sand LIBRARY DESTINATION lib)
install(FILES ${CMAKE_SOURCE_DIR}/include/soilcal/user_model.h DESTINATION include/soilcal)
install(TARGETS soilcal-report RUNTIME DESTINATION bin)

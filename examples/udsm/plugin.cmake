# The example user-defined soil model library and the bridge library, built
# beside the program so that the material name "usermod.dll" finds
# libusermod64.so and the bridge "UqUsrMod.DLL" is found as libUqUsrMod.so.
set(_udsm_dir ${CMAKE_CURRENT_LIST_DIR})

add_library(udsm_usermod SHARED
  ${_udsm_dir}/usermod.cpp ${_udsm_dir}/mohr_coulomb.cpp ${_udsm_dir}/principal.cpp)
set_target_properties(udsm_usermod PROPERTIES OUTPUT_NAME usermod64
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(udsm_usermod PRIVATE ${_udsm_dir} ${CMAKE_SOURCE_DIR}/include)

add_library(udsm_bridge SHARED ${_udsm_dir}/bridge.cpp)
set_target_properties(udsm_bridge PROPERTIES OUTPUT_NAME UqUsrMod
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(udsm_bridge PRIVATE ${CMAKE_SOURCE_DIR}/include)
target_link_libraries(udsm_bridge PRIVATE ${CMAKE_DL_LIBS})

# Whatever builds the models builds the libraries they load at run time.
add_dependencies(soilcal_models udsm_usermod udsm_bridge)

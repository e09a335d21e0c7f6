# Test libraries of the user-model loader: one probe model exported under
# each entry-point name the loader knows, under the bridge's entry name, and
# under none.
if(SOILCAL_TESTS)
  set(_probe_src ${CMAKE_CURRENT_LIST_DIR}/testlibs/probe_library.cpp)
  foreach(variant probe:User_Mod lower:user_mod bridged:UserModelEntry noentry:)
    string(REPLACE ":" ";" _parts "${variant}")
    list(GET _parts 0 _name)
    list(LENGTH _parts _n)
    add_library(udsm_test_${_name} SHARED ${_probe_src})
    set_target_properties(udsm_test_${_name} PROPERTIES OUTPUT_NAME udsm_${_name}64
      CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    target_include_directories(udsm_test_${_name} PRIVATE ${CMAKE_SOURCE_DIR}/include)
    if(_n GREATER 1)
      list(GET _parts 1 _entry)
      if(_entry)
        target_compile_definitions(udsm_test_${_name} PRIVATE PROBE_ENTRY=${_entry})
      endif()
    endif()
    add_dependencies(soilcal_models udsm_test_${_name})
  endforeach()
endif()

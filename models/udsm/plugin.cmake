# Test libraries of the user-model loader: one probe model exported under
# each entry-point name the loader knows, under the bridge's entry name, and
# under none, and once more with a description that breaks the rules. They go
# to the fixture folder, where the loader finds them as "udsm\" below the
# program; the test programs depend on them.
if(SOILCAL_TESTS)
  set(_probe_src ${CMAKE_CURRENT_LIST_DIR}/testlibs/probe_library.cpp)
  foreach(variant probe:User_Mod lower:user_mod bridged:UserModelEntry noentry: broken:User_Mod)
    string(REPLACE ":" ";" _parts "${variant}")
    list(GET _parts 0 _name)
    list(LENGTH _parts _n)
    add_library(udsm_test_${_name} SHARED ${_probe_src})
    set_target_properties(udsm_test_${_name} PROPERTIES OUTPUT_NAME udsm_${_name}64
      LIBRARY_OUTPUT_DIRECTORY ${SOILCAL_FIXTURE_DIR}
      CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    target_include_directories(udsm_test_${_name} PRIVATE ${CMAKE_SOURCE_DIR}/include)
    if(_n GREATER 1)
      list(GET _parts 1 _entry)
      if(_entry)
        target_compile_definitions(udsm_test_${_name} PRIVATE PROBE_ENTRY=${_entry})
      endif()
    endif()
    set_property(GLOBAL APPEND PROPERTY SOILCAL_TEST_FIXTURES udsm_test_${_name})
  endforeach()
  target_compile_definitions(udsm_test_broken PRIVATE PROBE_BAD_DESCRIPTION)
endif()

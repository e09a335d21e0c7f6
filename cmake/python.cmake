# The Python module soilcal (python/): the package soilcal with its compiled
# part _soilcal, built whenever pybind11 and an interpreter with numpy are
# found (SOILCAL_PYTHON=AUTO; ON insists, OFF leaves it out). The package
# goes to build/python/soilcal/ with the run-time libraries beside the
# module, where the engine looks for them (the folder of the binary that
# holds it), so PYTHONPATH=build/python is enough to import it.
#
# The interpreter: -DPython_EXECUTABLE=..., else the first of python3 on
# PATH and /usr/bin/python3 that imports numpy and pybind11 (a python3 that
# comes first on PATH may have neither).
set(SOILCAL_PYTHON AUTO CACHE STRING "Build the Python module: AUTO, ON or OFF")
set_property(CACHE SOILCAL_PYTHON PROPERTY STRINGS AUTO ON OFF)
set(SOILCAL_PYTHON_DIR ${CMAKE_BINARY_DIR}/python CACHE PATH
    "Folder that receives the package soilcal (the build's Python path)")

function(soilcal_python_unavailable why)
  if(SOILCAL_PYTHON STREQUAL "ON")
    message(FATAL_ERROR "The Python module cannot be built: ${why}")
  endif()
  message(STATUS "Python module not built: ${why}")
endfunction()

if(NOT SOILCAL_PYTHON)
  return()
endif()
if(SOILCAL_SANITIZE)
  # An instrumented module would need the sanitizer runtime preloaded into
  # the interpreter.
  soilcal_python_unavailable("not with SOILCAL_SANITIZE")
  return()
endif()

if(NOT Python_EXECUTABLE)
  find_program(soilcal_path_python3 NAMES python3 NO_CACHE)
  foreach(candidate IN ITEMS ${soilcal_path_python3} /usr/bin/python3)
    if(EXISTS "${candidate}")
      execute_process(COMMAND "${candidate}" -c "import numpy, pybind11"
                      RESULT_VARIABLE soilcal_python_ok OUTPUT_QUIET ERROR_QUIET)
      if(soilcal_python_ok EQUAL 0)
        set(Python_EXECUTABLE "${candidate}" CACHE FILEPATH "Interpreter of the Python module")
        break()
      endif()
    endif()
  endforeach()
endif()
if(NOT Python_EXECUTABLE)
  soilcal_python_unavailable("no python3 imports numpy and pybind11 (apt-get install python3-numpy python3-pybind11 pybind11-dev python3-dev)")
  return()
endif()

find_package(Python 3 QUIET COMPONENTS Interpreter Development.Module)
if(NOT Python_FOUND OR NOT Python_Development.Module_FOUND)
  soilcal_python_unavailable("no Python headers for ${Python_EXECUTABLE} (python3-dev)")
  return()
endif()
execute_process(COMMAND "${Python_EXECUTABLE}" -c "import pybind11; print(pybind11.get_cmake_dir())"
                OUTPUT_VARIABLE soilcal_pybind11_dir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
set(PYBIND11_FINDPYTHON ON)
find_package(pybind11 CONFIG QUIET HINTS "${soilcal_pybind11_dir}")
if(NOT pybind11_FOUND)
  soilcal_python_unavailable("pybind11 not found (pybind11-dev)")
  return()
endif()
message(STATUS "Python module for ${Python_EXECUTABLE} (${Python_VERSION}) in ${SOILCAL_PYTHON_DIR}")

set(soilcal_package_dir ${SOILCAL_PYTHON_DIR}/soilcal)
file(GLOB soilcal_python_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/python/*.cpp)
# NO_EXTRAS: no link-time optimisation (minutes on two cores for little gain).
pybind11_add_module(soilcal_python MODULE NO_EXTRAS ${soilcal_python_sources})
set_target_properties(soilcal_python PROPERTIES OUTPUT_NAME _soilcal
                      LIBRARY_OUTPUT_DIRECTORY ${soilcal_package_dir})
target_include_directories(soilcal_python PRIVATE ${CMAKE_SOURCE_DIR}/python)
target_link_libraries(soilcal_python PRIVATE soilcal_jobs soilcal_core)

# The package's Python files, and the libraries the engine loads by name.
file(GLOB soilcal_python_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/python/soilcal/*.py)
foreach(f IN LISTS soilcal_python_files)
  get_filename_component(name ${f} NAME)
  configure_file(${f} ${soilcal_package_dir}/${name} COPYONLY)
endforeach()
set(soilcal_runtime_libraries zarirude udsm_bridge udsm_usermod hypoplastic_sand)
add_custom_target(soilcal_python_libraries ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${soilcal_package_dir}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different
          $<TARGET_FILE:zarirude> $<TARGET_FILE:udsm_bridge> $<TARGET_FILE:udsm_usermod>
          $<TARGET_FILE:hypoplastic_sand>
          ${soilcal_package_dir}
  DEPENDS ${soilcal_runtime_libraries}
  COMMENT "Run-time libraries beside the Python module")
add_dependencies(soilcal_python soilcal_python_libraries)

# cmake --install: the package into the prefix's Python path
# (lib/pythonX.Y/site-packages), the libraries beside the module there too.
if(NOT SOILCAL_PYTHON_INSTALL_DIR)
  execute_process(COMMAND "${Python_EXECUTABLE}" -c
    "import os, sysconfig; print(os.path.relpath(sysconfig.get_path('platlib', 'posix_prefix', vars={'platbase': '/', 'base': '/'}), '/'))"
    OUTPUT_VARIABLE soilcal_python_site OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(SOILCAL_PYTHON_INSTALL_DIR ${soilcal_python_site} CACHE STRING
      "Python path below the install prefix")
endif()
install(TARGETS soilcal_python LIBRARY DESTINATION ${SOILCAL_PYTHON_INSTALL_DIR}/soilcal)
install(FILES ${soilcal_python_files} DESTINATION ${SOILCAL_PYTHON_INSTALL_DIR}/soilcal)
install(TARGETS ${soilcal_runtime_libraries} LIBRARY DESTINATION ${SOILCAL_PYTHON_INSTALL_DIR}/soilcal)

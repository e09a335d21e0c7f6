# The workbench (soilcal serve): the server in web/ with cpp-httplib (Debian
# libcpp-httplib-dev, one header) and the page's files embedded at build time.
# (Debian builds it as a shared library beside the header.)
find_path(SOILCAL_HTTPLIB_INCLUDE httplib.h)
find_library(SOILCAL_HTTPLIB_LIBRARY cpp-httplib)
if(NOT SOILCAL_HTTPLIB_INCLUDE OR NOT SOILCAL_HTTPLIB_LIBRARY)
  message(FATAL_ERROR "soilcal serve needs cpp-httplib; install it with: apt-get install -y libcpp-httplib-dev")
endif()
find_package(Threads REQUIRED)

file(GLOB_RECURSE web_page_files CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}/web
     ${CMAKE_SOURCE_DIR}/web/page/* ${CMAKE_SOURCE_DIR}/web/vendor/*.js ${CMAKE_SOURCE_DIR}/web/vendor/*.css)
list(SORT web_page_files)
string(REPLACE ";" "|" web_page_list "${web_page_files}")
set(web_page_deps)
foreach(f IN LISTS web_page_files)
  list(APPEND web_page_deps ${CMAKE_SOURCE_DIR}/web/${f})
endforeach()
set(web_assets_cpp ${CMAKE_BINARY_DIR}/generated/web_assets.cpp)
add_custom_command(
  OUTPUT ${web_assets_cpp}
  COMMAND ${CMAKE_COMMAND} -DBASE=${CMAKE_SOURCE_DIR}/web "-DFILES=${web_page_list}"
          -DOUT=${web_assets_cpp} -P ${CMAKE_SOURCE_DIR}/cmake/embed_assets.cmake
  DEPENDS ${web_page_deps} ${CMAKE_SOURCE_DIR}/cmake/embed_assets.cmake
  COMMENT "Embedding the workbench page" VERBATIM)

file(GLOB web_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/web/*.cpp)
add_library(soilcal_web STATIC ${web_sources} ${web_assets_cpp})
target_include_directories(soilcal_web PUBLIC ${CMAKE_SOURCE_DIR} ${SOILCAL_HTTPLIB_INCLUDE})
target_link_libraries(soilcal_web PUBLIC soilcal_jobs soilcal_jobfile nlohmann_json::nlohmann_json
                      ${SOILCAL_HTTPLIB_LIBRARY} Threads::Threads)
target_link_libraries(soilcal_app PUBLIC soilcal_web)

if(SOILCAL_TESTS)
  file(GLOB web_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/web/*.cpp)
  if(web_tests)
    add_executable(test_web ${web_tests})
    target_link_libraries(test_web PRIVATE soilcal_web soilcal_batch soilcal_test_support GTest::gtest_main)
    add_dependencies(test_web soilcal)
    gtest_discover_tests(test_web DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
endif()

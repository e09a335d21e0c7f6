# Run-time libraries of the program, all from Debian packages: toml++ reads
# the TOML job files, nlohmann-json writes and reads the JSON summary, NLopt
# refines the thorough search and the profile likelihoods, Eigen (headers
# only) decomposes the Jacobian of the uncertainty estimate. The build stops
# with the one line that installs whatever is missing.
set(SOILCAL_RUNTIME_PACKAGES libtomlplusplus-dev nlohmann-json3-dev libnlopt-dev libeigen3-dev)

find_package(tomlplusplus QUIET CONFIG)
find_package(nlohmann_json QUIET CONFIG)
find_package(NLopt QUIET CONFIG)
find_package(Eigen3 3.3 QUIET NO_MODULE)

set(soilcal_missing)
if(NOT TARGET tomlplusplus::tomlplusplus)
  list(APPEND soilcal_missing libtomlplusplus-dev)
endif()
if(NOT TARGET nlohmann_json::nlohmann_json)
  list(APPEND soilcal_missing nlohmann-json3-dev)
endif()
if(NOT TARGET NLopt::nlopt)
  list(APPEND soilcal_missing libnlopt-dev)
endif()
if(NOT TARGET Eigen3::Eigen)
  list(APPEND soilcal_missing libeigen3-dev)
endif()
if(soilcal_missing)
  list(JOIN soilcal_missing " " soilcal_missing_line)
  message(FATAL_ERROR "soilcal needs packages that are missing; install them with: apt-get install -y ${soilcal_missing_line}")
endif()


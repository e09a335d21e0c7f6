#include "app/dispatch.hpp"
#include "services/standard_streams.hpp"

int main(int argc, char** argv) {
  soilcal::services::OpenMissingStandardStreams();
  return soilcal::app::Dispatch(argc, argv);
}

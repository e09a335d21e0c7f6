#include "run/run_sequence.hpp"
#include "services/standard_streams.hpp"

int main(int argc, char** argv) {
  soilcal::services::OpenMissingStandardStreams();
  return soilcal::run::RunSequence(argc, argv);
}

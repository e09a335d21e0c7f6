#include "run/batch_command.hpp"
#include "run/batch_options.hpp"
#include "run/run_sequence.hpp"

int main(int argc, char** argv) {
  if (soilcal::run::IsBatchCommand(argc, argv)) return soilcal::run::RunBatchCommand(argc, argv);
  return soilcal::run::RunSequence(argc, argv);
}

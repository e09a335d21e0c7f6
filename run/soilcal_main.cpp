#include "run/run_sequence.hpp"

int main(int argc, char** argv) { return soilcal::run::RunSequence(argc, argv); }

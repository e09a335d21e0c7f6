#include "app/dispatch.hpp"

int main(int argc, char** argv) { return soilcal::app::Dispatch(argc, argv); }

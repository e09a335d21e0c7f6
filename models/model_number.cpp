#include "models/material.hpp"

namespace soilcal::models {

int ReduceModelNumber(int& code) {
  int model = code % 100;
  if (model > 50) {
    // Numbers 51..99 are older aliases of 1..49; the set keeps the lowered code.
    code -= 50;
    model = code % 100;
  }
  return model;
}

}  // namespace soilcal::models

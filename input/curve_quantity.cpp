#include "input/curve_quantity.hpp"

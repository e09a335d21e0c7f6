#include "optimisation/pswarm.hpp"

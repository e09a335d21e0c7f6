#include "labtest/context.hpp"

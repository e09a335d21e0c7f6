// Kept for the tests that include it: the helpers live in tests/support/.
#pragma once

#include "support/files.hpp"

// Kept for the tests that include it: the writers live in tests/support/.
#pragma once

#include "support/job_writer.hpp"

// A load step allocates nothing: the global allocation functions of this
// test program count the allocations of the thread that asks for it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "labtest/lab_records.hpp"
#include "labtest/step_solver.hpp"

namespace {
thread_local bool countAllocations = false;
thread_local int allocations = 0;
}  // namespace

[[gnu::noinline]] void* operator new(std::size_t size) {
  if (countAllocations) ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t size) { return operator new(size); }
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace soilcal::testing {
namespace {

TEST(MaterialPointStep, PlasticStepsAllocateNothing) {
  auto job = MakeJob(102);
  // One elastic step sets the point up; the steps below go far into plastic
  // flow (5 % axial strain each), with diagnostics off.
  const input::LabTest test = TriaxialCompression(102, -1e-4, 1);
  const RunOutcome out = Simulate(*job, test);
  ASSERT_EQ(out.run.status, 0);
  labtest::MaterialPoint& pt = out.ctx->point;
  pt.strainIncrement = {0, -0.05, 0, 0, 0, 0};

  countAllocations = true;
  int accepted = 0;
  for (int step = 0; step < 5; ++step) {
    int iterations = 0;
    accepted += labtest::SolveMaterialPointStep(*out.ctx, iterations) == labtest::kStepAccepted;
  }
  countAllocations = false;
  EXPECT_EQ(accepted, 5);
  EXPECT_GT(out.ctx->counters.plastic, 0);  // the steps did reach the model's return
  EXPECT_EQ(allocations, 0);
}

}  // namespace
}  // namespace soilcal::testing

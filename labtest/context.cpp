// Placeholder so the tree links; replaced by the driver.
#include "labtest/context.hpp"
#include "labtest/driver.hpp"

namespace soilcal::labtest {
void InitContext(SimulationContext& ctx, const input::Job& job, const models::ModelResources& r) {
  ctx.job = &job;
  ctx.resources = r;
}
void PrepareLabTest(SimulationContext& ctx, const input::LabTest& test) { ctx.test = &test; }
LabTestRun RunLabTest(SimulationContext&) { return {3, 0}; }
}  // namespace soilcal::labtest

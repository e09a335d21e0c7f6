#include "labtest/context.hpp"

#include <algorithm>

#include "models/setup.hpp"
#include "models/udsm/session.hpp"
#include "models/udsm/link.hpp"

namespace soilcal::labtest {

void InitContext(SimulationContext& ctx, const input::Job& job,
                 const models::ModelResources& resources) {
  ctx.job = &job;
  ctx.extendedModels = job.extendedModels;
  ctx.resources = resources;
  // Kernel-error texts of this evaluation travel with its context.
  ctx.resources.texts = &ctx.texts;
  // User-defined models keep their library links and state per evaluation.
  if (models::udsm::IsUserModel(job.modelNumber % 100) && ctx.resources.udsm == nullptr) {
    ctx.udsmSession = models::udsm::MakeSession();
    ctx.resources.udsm = ctx.udsmSession.get();
  }

  const input::MaterialInput& material = job.material;
  ctx.k.refPressure = material.referencePressure;
  ctx.k.stressFloor = material.referencePressure / 100.0;
  ctx.k.timeFactor = material.timeFactor;

  ctx.set1 = models::MaterialSet{};
  ctx.set1.modelCode = job.modelNumber;
  ctx.set1.name = material.name;
  for (int slot = 1; slot <= 200; ++slot) ctx.set1.prop[slot] = material.params[slot];
  // The material set-up that follows the reading of the input: checks and
  // derived slots of set 1.
  models::CopySoilProp(1, ctx.set1, ctx.k);

  ctx.set = ctx.set1;
  ctx.model = 0;
  ctx.test = nullptr;
  ctx.maxStateVars = 1;
  ctx.totalIterations = 0;
  ctx.rec = Recording{};
}

}  // namespace soilcal::labtest

// The soft-soil family: models 4 (soft soil), 5 (modified Cam-Clay) and 8
// (soft-soil creep). Their stiffness depends on the mean stress, so GenMat
// refreshes it before every load step; model 8 also depends on time.
#include "models/family.hpp"

#include "models/mohr_coulomb/mc_sig.hpp"
#include "models/soft_soil/cam_clay.hpp"
#include "models/soft_soil/creep.hpp"
#include "models/soft_soil/initial_state.hpp"
#include "models/soft_soil/invariants.hpp"
#include "models/soft_soil/parameters.hpp"
#include "models/soft_soil/soft_soil_sig.hpp"
#include "services/diag.hpp"

namespace soilcal::models {
namespace {

using services::Diag;

constexpr int kModels[] = {4, 5, 8};

// Model 8: creep step, failure surface on its result, then the cap check:
// an equivalent pressure above the creep preconsolidation pressure is a cap
// point.
void CreepStress(StressCall& call) {
  const double peq = soft_soil::CrpSig(call);
  if (call.debug && Diag().on()) {
    Diag().Line("After CrpSig");
    Diag().Line("Pa1 : ", peq);
    Diag().Line("Pc  : ", call.pms.pc);
    // Drained points: the total cap pressure is the creep pc itself.
    Diag().Line("PcT : ", call.pms.pc);
    Diag().Line("PcT/(Pa1+1d-10):", call.pms.pc / (peq + 1e-10));
  }
  const double creepTauMax = call.tauMax;
  call.iArea = 0;
  MC_Sig(call);
  if (call.iArea != 0) return;
  call.tauMax = creepTauMax;
  if (peq > call.pms.pc) {
    call.iArea = 3;
    call.capFlag = true;
  }
}

void Stress(StressCall& call, ModelResources&) {
  switch (call.model) {
    case 4:
      soft_soil::SoftSoilSig(call);
      if (call.iArea == 0) {
        call.pms.G = soft_soil::SoftSoilShearModulus(*call.prop,
                                                     soft_soil::Invariants(call.sigC).p);
      }
      break;
    case 5:
      soft_soil::CamClaySig(call);
      if (call.iArea == 0) {
        call.pms.G = soft_soil::CamClayShearModulus(*call.prop, call.voidRatio,
                                                    soft_soil::Invariants(call.sigC).p);
      }
      break;
    case 8:
      CreepStress(call);
      break;
    default:
      break;
  }
}

void ElasticMatrix(ElasticCall& call) {
  if (call.model == 8) {
    soft_soil::CreepTangent(call);
    return;
  }
  const double G = call.pms ? call.pms->G : call.set->prop[1];
  call.D = IsotropicElasticMatrix(G, call.set->prop[2]);
}

}  // namespace

const ModelFamily& SoftSoilFamily() {
  static const ModelFamily family{
      .name = "soft_soil",
      .models = kModels,
      .minStateVars = 2,
      .stressDependent = true,
      .timeDependent = true,
      .genMatShearModulus = soft_soil::GenMatShearModulus,
      .initPoint = soft_soil::InitSoftSoilPoint,
      .stress = Stress,
      .elasticMatrix = ElasticMatrix,
      .copySoilPropForModel = soft_soil::CopySoilPropForModel,
      .perTestCompletionForModel = soft_soil::PerTestCompletionForModel,
  };
  return family;
}

}  // namespace soilcal::models

// CopySoilProp: checks and derived slots of one material set. The generic
// part (set number, model number, unknown models, flow table note) is here;
// the model rules come from the set's family or the small rule table.
#include <cstdlib>

#include "models/model_rules.hpp"
#include "models/setup.hpp"
#include "services/diag.hpp"

namespace soilcal::models {
namespace {

using services::Diag;

int CheckedSetNumber(int iSet, int nPropSoil) {
  int n = std::abs(iSet);
  if (n > nPropSoil) {
    if (Diag().on()) {
      Diag().Line("ISet > NPropSoil in CopySoilProp ???");
      Diag().Line("ISet     =", n);
      Diag().Line("NPropSoil=", nPropSoil);
      Diag().Line("iClus    =", 1);
    }
    n = nPropSoil;
  }
  if (n == 0 && Diag().on()) Diag().Line("ISet=0 in CopySoilProp ???");
  return n;
}

}  // namespace

int CopySoilProp(int iSet, MaterialSet& set, const ModelConstants& k, int nPropSoil) {
  const int n = CheckedSetNumber(iSet, nPropSoil);
  const int model = ReduceModelNumber(set.modelCode);

  if (!AcceptedByCopySoilProp(model) && Diag().on()) {
    // Noted only: the set keeps its number and MatSig refuses it later.
    Diag().Line("Material model not tested yet !!");
    Diag().Line("Program stopped due to invalid material model !!!");
  }
  if (const ModelFamily* family = FindModelFamily(model)) {
    CallFamilyCopySoilProp(*family, model, n, set.prop, k);
  } else if (const ModelRules* rules = FindModelRules(model)) {
    if (rules->copySoilProp) rules->copySoilProp(n, set.prop, k);
  }

  // Hydraulic model 5 carries a user flow table; it has no effect on the
  // stress integration of a lab test.
  if (set.prop[117] == 5.0 && Diag().on()) {
    Diag().Line("User defined flow parameters for material number:", n);
  }
  return model;
}

}  // namespace soilcal::models

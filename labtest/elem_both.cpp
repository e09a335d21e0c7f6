#include "labtest/elem_both.hpp"

#include "models/family.hpp"
#include "models/material.hpp"
#include "models/udsm/link.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"

namespace soilcal::labtest {
namespace {

// Models whose own elastic stiffness routine (the family's hook) replaces
// the isotropic matrix: creep, small-strain stiffness, concrete, UBC sand,
// the model of number 36 and the user-defined models.
bool HasOwnElasticMatrix(int model) {
  return model == 8 || model == 19 || model == 33 || model == 34 || model == 36 ||
         models::udsm::IsUserModel(model);
}

// Elastic matrix of the family's own routine. Returns false when the family
// has none (the caller falls back to the isotropic matrix).
bool FamilyElasticMatrix(SimulationContext& ctx, int model, int mode,
                         const models::PointMatState& pms, Mat6& d, double& waterBulk,
                         double& G, double& nu) {
  const models::ModelFamily* family = models::FindModelFamily(model);
  if (family == nullptr || family->elasticMatrix == nullptr) return false;
  const MaterialPoint& pt = ctx.point;
  models::ElasticCall call;
  call.set = &ctx.set;
  call.k = &ctx.k;
  call.model = model;
  call.mode = mode;
  call.pms = &pms;
  call.stVar0 = pt.stVar0.data();
  call.nStat = pt.nStat;
  call.sig0 = pt.sig0;
  call.eps = pt.eps;
  call.swp0 = pt.swp0;
  call.time = pt.time;
  call.dTime = pt.dTime;
  call.step = pt.step;
  call.iter = pt.iter;
  call.resources = &ctx.resources;
  family->elasticMatrix(call);
  if (call.iAbort != 0) services::KernelError(call.iAbort, ctx.texts);
  d = call.D;
  waterBulk = call.waterBulk;
  if (call.G > 0.0) G = call.G;
  if (call.nu >= 0.0) nu = call.nu;
  return true;
}

double MeanNormalEntry(const Mat6& d) {
  double s = 0.0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) s += d[i][j];
  return s / 9.0;
}

}  // namespace

double UndrainedWaterStiffness(double G, double nu, double nuU) {
  return (2.0 / 3.0) * G * ((1.0 + nuU) / (1.0 - 2.0 * nuU) - (1.0 + nu) / (1.0 - 2.0 * nu));
}

bool IsElemBothModel(int model, bool extendedModels) {
  if (model < 1 || model > 36) return false;
  switch (model) {
    case 31: case 32:
      // Sekiguchi-Ohta on request: the set's isotropic matrix of the
      // mean-stress dependent G (GenMat before every step) and nu.
      return extendedModels;
    case 3: case 7: case 10: case 11: case 14: case 20:
      return false;
    default:
      return true;
  }
}

void ELEMBoth(SimulationContext& ctx, int mode, Mat6& K) {
  models::MaterialSet& set = ctx.set;
  const int drainage = set.modelCode / 100;
  const int model = set.modelCode % 100;
  if (!IsElemBothModel(model, ctx.extendedModels)) {
    if (services::Diag().on()) services::Diag().Line(" Invalid model in ELEMBoth ", model);
    throw services::KernelAbort(1, "ZIrez", " Invalid model in ELEMBoth ");
  }

  models::PointMatState pms;
  pms.Load(ctx.point.stVar0.data() + models::kPointMatStatePos);
  double G = pms.G;
  double nu = set.prop[2];
  double waterBulk = 0.0;

  Mat6 d{};
  bool own = false;
  if (HasOwnElasticMatrix(model)) {
    own = FamilyElasticMatrix(ctx, model, mode, pms, d, waterBulk, G, nu);
  }
  if (!own && model == 18) {
    // The jointed-rock set carries its 6x6 matrix in slots 180..215.
    for (int i = 0; i < 6; ++i)
      for (int j = 0; j < 6; ++j) d[i][j] = set.prop[180 + 6 * i + j];
    own = true;
  }
  if (!own) d = IsotropicElasticMatrix(G, nu);
  set.D = d;

  set.BUW = 0.0;
  if (drainage == 2) {
    double buw;
    if (models::udsm::IsUserModel(model)) {
      buw = waterBulk > 0.0 ? waterBulk : 100.0 * MeanNormalEntry(d);
    } else {
      double nuU = set.prop[28];
      if (!(nuU > nu) || nuU >= 0.5) nuU = kDefaultUndrainedNu;
      buw = UndrainedWaterStiffness(G, nu, nuU);
    }
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) d[i][j] += buw;
    set.BUW = buw;
  }
  K = d;
}

}  // namespace soilcal::labtest

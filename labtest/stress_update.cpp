#include "labtest/stress_update.hpp"

#include <omp.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "models/matsig.hpp"
#include "models/udsm/link.hpp"
#include "services/clock.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"

namespace soilcal::labtest {
namespace {

// Clusters of more elements than this run the parallel loop.
constexpr int kSerialElementLimit = 10;

bool ParallelUdsmToggle() {
  const bool set = services::CheckToggle("USE_PARALLEL_UDSM_STRESS_INTEGRATION");
  if (set && services::Diag().on()) services::Diag().Line("Using parallel UDSMs stress integration");
  return set;
}

// The stress-point loop keeps no unsaturated data, so MatSig always sees a
// saturated point (suction 0, degree of saturation 1.0); MatSig assumes those
// values itself and the record is not passed on.

// Void ratio after the volumetric strain increment dEpsV, never negative.
double UpdatedVoidRatio(double e, double dEpsV) {
  const double eNew = e + dEpsV * (1.0 + e);
  return eNew > 0.0 ? eNew : 0.0;
}

// dst[0, n) = src[0, n) for the few entries a point uses. Fixed-size blocks
// compile to inline moves; a copy of run-time length would be a library call
// costing more than the copy itself.
void CopyState(const double* src, double* dst, int n) {
  int i = 0;
  for (; i + 4 <= n; i += 4) std::memcpy(dst + i, src + i, 4 * sizeof(double));
  if (i + 2 <= n) {
    std::memcpy(dst + i, src + i, 2 * sizeof(double));
    i += 2;
  }
  if (i < n) dst[i] = src[i];
}

// The point's values as the dispatcher reads them, in place.
models::StressPointView ViewOf(const SimulationContext& ctx, MaterialPoint& pt, int model,
                               int intGlo, const models::ModelFamily& family) {
  models::StressPointView v;
  v.model = model;
  v.set = &ctx.set;
  v.iSet = 1;
  v.intGlo = intGlo;
  v.k = &ctx.k;
  v.family = &family;
  v.D = &ctx.set.D;
  v.dEps = &pt.dEps;
  v.sig0 = &pt.sig0;
  v.eps = &pt.eps;
  v.epsV = VolumetricStrain(pt.eps) + VolumetricStrain(pt.dEps);
  v.voidRatio = pt.voidRatio;
  v.stVar0 = pt.stVar0.data();
  v.stVar = pt.stVar.data();
  v.nStat = pt.nStat;
  v.tol = pt.tolerance;
  v.iter = pt.iter;
  v.step = pt.step;
  v.time = pt.time;
  v.dTime = pt.dTime;
  v.swp0 = pt.swp0;
  return v;
}

// The dispatcher with everything only the diagnostics read: the reference
// stress, the accuracy check, the debug dumps. Gives the stress, pore
// pressure and state the lean path gives.
void CallMatSig(SimulationContext& ctx, MaterialPoint& pt, int model, int intGlo,
                GetSigTotals& totals) {
  models::MatSigInput in{models::MatSigInput::StiffnessByPointer{}};
  in.model = model;
  in.set = &ctx.set;
  in.iSet = 1;
  in.intGlo = intGlo;
  in.k = &ctx.k;
  in.stiffness = &ctx.set.D;
  if (model == ctx.familyModel) in.family = ctx.family;
  in.dEps = pt.dEps;
  in.sig0 = pt.sig0;
  in.eps = pt.eps;
  in.sigPrev = pt.sig;
  in.dEpsPrev = pt.dEpsPrevIter;
  in.iterFactor = pt.iterRelaxation;
  in.epsV = VolumetricStrain(pt.eps) + VolumetricStrain(pt.dEps);
  in.voidRatio = pt.voidRatio;
  in.stVar0 = pt.stVar0.data();
  in.stVar = pt.stVar.data();
  in.nStat = pt.nStat;
  in.weight = 1.0;
  in.tol = pt.tolerance;
  in.iter = pt.iter;
  in.step = pt.step;
  in.time = pt.time;
  in.dTime = pt.dTime;
  in.swp0 = pt.swp0;

  models::MatSigOutput out;
  out.swp = pt.swp0;
  models::MatSig(in, ctx.resources, out, totals.counters, ctx.texts);
  if (out.iAbort != 0) services::KernelError(out.iAbort, ctx.texts);
  pt.swp = out.swp;
  pt.sig = out.sigC;
}

void EvaluatePoint(SimulationContext& ctx, MaterialPoint& pt, int model, int intGlo,
                   bool diagnostics, GetSigTotals& totals) {
  // The end-of-step state starts from the committed one in every iteration,
  // so a model that leaves a value alone keeps its start value.
  const int nCopy = std::min(models::kModelStateOffset + pt.nStat, models::kStateCapacity);
  CopyState(pt.stVar0.data(), pt.stVar.data(), nCopy);
  // Water bulk of the point for undrained sets (set by ELEMBoth).
  pt.stVar0[models::kPointMatStatePos + 1] = ctx.set.BUW;

  pt.voidRatio = UpdatedVoidRatio(pt.voidRatioCommitted, VolumetricStrain(pt.dEps));

  const models::ModelFamily* family =
      model == ctx.familyModel ? ctx.family : models::FindModelFamily(model);
  if (diagnostics || family == nullptr) {
    CallMatSig(ctx, pt, model, intGlo, totals);
  } else {
    // The lean path: the call is filled straight from the point and its
    // result read straight back.
    models::StressCall& call = ctx.call;
    models::MatSigLean(ViewOf(ctx, pt, model, intGlo, *family), ctx.resources, call, totals.counters,
                       ctx.texts);
    if (call.iAbort != 0) services::KernelError(call.iAbort, ctx.texts);
    pt.swp = call.swp;
    pt.sig = call.sigC;
  }

  CapWaterPressure(totals.waterPressureResets, pt.waterPressureCap, pt.waterPressureFactor, pt.swp,
                   pt.waterPressureHead);
  pt.dEpsPrevIter = pt.dEps;
  ++totals.pointsEvaluated;
}

void WriteUpdateCounts(const models::MatSigCounters& c) {
  services::DiagChannel& diag = services::Diag();
  if (c.plastic + c.inaccurate != 0) {
    const std::array<int, 2> n{c.plastic, c.inaccurate};
    diag.Line("NPLast,NInAcc", n);
  }
  const double den = std::max(1.0, c.sumWt);
  const std::array<double, 3> v{c.sumErr, den, c.sumErr / den};
  diag.Line("sumerr..", v);
}

}  // namespace

void GetSig(SimulationContext& ctx, std::span<MaterialPoint> points, int cluster,
            int firstElement, int lastElement, GetSigTotals& totals) {
  (void)cluster;
  const int model = ctx.set.modelCode % 100;
  const int ppe = ctx.mesh.pointsPerElement;
  const bool diagnostics = services::Diag().on();
  for (int e = firstElement; e <= lastElement; ++e) {
    for (int ip = 1; ip <= ppe; ++ip) {
      const int intGlo = ip + ppe * (e - 1);
      EvaluatePoint(ctx, points[static_cast<std::size_t>(intGlo - 1)], model, intGlo, diagnostics,
                    totals);
    }
  }
}

// The figures of one update into the context.
void StoreTotals(SimulationContext& ctx, const GetSigTotals& totals) {
  ctx.counters = totals.counters;
  ctx.waterPressureResets = totals.waterPressureResets;
  ctx.pointsEvaluated = totals.pointsEvaluated;
  ctx.relativeError = totals.counters.sumErr / std::max(1.0, totals.counters.sumWt);
}

void UpdateStressPoints(SimulationContext& ctx) {
  const bool diagOn = services::Diag().on();
  const LabMesh& mesh = ctx.mesh;
  if (!diagOn && mesh.nClusters == 1 && mesh.firstElement == 1 && mesh.lastElement == 1 &&
      mesh.pointsPerElement == 1) {
    // The lab's single point without diagnostics: straight to the point.
    GetSigTotals totals;
    EvaluatePoint(ctx, ctx.point, ctx.set.modelCode % 100, 1, false, totals);
    StoreTotals(ctx, totals);
    return;
  }
  if (diagOn) {
    std::string line = "iDum from Header :  -1";
    if (ctx.point.dTime > 0.0) {
      line += ' ';
      line += services::FormatReal(ctx.point.dTime);
    }
    services::Diag().Raw(line);
  }

  GetSigTotals totals;
  std::span<MaterialPoint> points(&ctx.point, 1);
  for (int cluster = 1; cluster <= mesh.nClusters; ++cluster) {
    const int first = mesh.firstElement;
    const int last = mesh.lastElement;
    const int n = last - first + 1;
    if (n > kSerialElementLimit && !omp_in_parallel()) {
      const int model = ctx.set.modelCode % 100;
      const int threads = StressIntegrationThreads(model);
      const int chunk = std::max(1, static_cast<int>(std::lround(n * 1.1 / threads / 5.0)));
      // Each thread evaluates whole elements and adds its private counters
      // into the totals once at the end of the region.
#pragma omp parallel num_threads(threads)
      {
        GetSigTotals local;
#pragma omp for schedule(dynamic, chunk)
        for (int e = first; e <= last; ++e) GetSig(ctx, points, cluster, e, e, local);
#pragma omp critical(soilcal_getsig_totals)
        totals.Add(local);
      }
    } else {
      GetSig(ctx, points, cluster, first, last, totals);
    }
    if (cluster == 1 && diagOn) {
      const std::array<int, 2> v{1, cluster};
      services::Diag().Line("Threads in getsig / cluster: ", v);
    }
  }

  StoreTotals(ctx, totals);
  if (diagOn) WriteUpdateCounts(totals.counters);
}

void UpdateMaterialPointStress(SimulationContext& ctx, int iter) {
  MaterialPoint& pt = ctx.point;
  pt.iter = iter;
  pt.swp = pt.swp0;
  if (iter < 2) pt.dEpsPrevIter = Vec6{};
  UpdateStressPoints(ctx);
}

int StressIntegrationThreads(int model, int overrideThreads) {
  if (services::VirtualLabMode() == 1) return 1;
  int threads = omp_get_max_threads();
  if (threads < 1) threads = omp_get_num_procs();
  if (overrideThreads > 0) threads = overrideThreads;
  if (model < 1) return threads;
  // Looked up once per run; the answer never changes.
  static const bool parallelUdsm = ParallelUdsmToggle();
  if (model == 31 || model == 32) return 1;
  if (models::udsm::IsUserModel(model) && !parallelUdsm) return 1;
  return threads;
}

void CapWaterPressure(int& counter, double cap, double f, double& p, double h) {
  if (!(cap < 1e29)) return;
  const double offset = f * h;
  if (p + offset > cap) {
    const double old = p;
    p = cap - offset;
    if (counter == 0 && services::Diag().on()) {
      services::Diag().Raw("Swp reset from " + services::FormatReal(old) + " to " +
                           services::FormatReal(p));
    }
    ++counter;
  }
}

}  // namespace soilcal::labtest

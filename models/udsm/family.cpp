// Family table of the user-defined soil models 21..30: every request goes
// to the set's library through ModUsr3D.
#include <algorithm>
#include <array>

#include "models/family.hpp"
#include "models/udsm/link.hpp"
#include "models/udsm/modusr3d.hpp"
#include "services/diag.hpp"

namespace soilcal::models {
namespace {

using services::Diag;
using udsm::Session;

constexpr std::array<int, 10> kUserModels = {21, 22, 23, 24, 25, 26, 27, 28, 29, 30};
// GenMat leaves the shear modulus of a user model to its library.
constexpr double kUserShearModulusMarker = -1e10;

services::KernelMessageTexts& TextsOf(services::KernelMessageTexts* preferred,
                                      ModelResources* res, Session& session) {
  if (preferred) return *preferred;
  if (res && res->texts) return *res->texts;
  return session.texts;
}

// A user model without a session cannot reach its library: that is a fault
// of the program's set-up, reported as kernel error 247 with a text.
Session& RequireSession(ModelResources* res) {
  if (res == nullptr || res->udsm == nullptr) {
    if (Diag().on()) Diag().Line("No UDSM session for a user-defined model");
    services::KernelErrorWithTexts("User-defined model without a UDSM session", "");
  }
  return *res->udsm;
}

bool IsLinked(const Session& session, int iSet) {
  return iSet >= 1 && iSet < static_cast<int>(session.links.size()) &&
         session.links[static_cast<std::size_t>(iSet)].linked;
}

void SetUp(ModelSetUpCall& call) {
  Session& session = RequireSession(call.resources);
  services::KernelMessageTexts& texts = TextsOf(nullptr, call.resources, session);
  if (call.k) session.refPressure = call.k->refPressure;
  const udsm::LinkResult link = udsm::LinkUserModels(session, call.iSet, *call.set, texts);
  if (link.iAbort != 0) services::KernelError(link.iAbort, texts);
  call.nStat = udsm::StateVarCount(call.set->prop);
  call.nonSym = session.attributes.NonSym;
  call.stressDependent = session.attributes.iStrsDep;
  call.timeDependent = session.attributes.iTimeDep;
  call.tangent = session.attributes.iTang;
}

double GenMatShearModulus(const GenMatCall&) { return kUserShearModulusMarker; }

int InitPoint(PointInitCall& call) {
  Session& session = RequireSession(call.resources);
  if (!IsLinked(session, call.iSet)) {
    if (call.set == nullptr) {
      if (Diag().on()) Diag().Line("InitUsrStat: material set not linked", call.iSet);
      return 1;
    }
    ModelSetUpCall setUp{.set = call.set, .k = call.k, .iSet = call.iSet, .model = call.model,
                         .resources = call.resources};
    SetUp(setUp);
  }
  const MaterialSet* set = call.set;
  MaterialSet fallback;
  if (set == nullptr) {
    fallback.modelCode = call.modelCode;
    fallback.prop = *call.prop;
    set = &fallback;
  }
  udsm::PointStart point;
  point.iSet = call.iSet;
  point.sig0 = call.initialStress;
  point.stVar0 = call.stVar;
  const int iAbort =
      udsm::InitUsrStat(session, *set, point, TextsOf(nullptr, call.resources, session));
  return iAbort == 0 ? 0 : 1;
}

// Copies the state variables of the start of the step into the session's
// work array, so that a library cannot change the committed state.
double* StartStateCopy(Session& session, const double* stVar0, int nStat) {
  if (stVar0 == nullptr || nStat <= 0) return nullptr;
  if (session.scratch0.size() < static_cast<std::size_t>(nStat)) return const_cast<double*>(stVar0);
  std::copy_n(stVar0, nStat, session.scratch0.begin());
  return session.scratch0.data();
}

void Stress(StressCall& call, ModelResources& res) {
  Session& session = RequireSession(&res);
  const int nStat = udsm::StateVarCount(*call.prop);
  udsm::UserCall uc;
  uc.iSet = call.iSet;
  uc.IDTask = 2;
  uc.modelCode = call.modelCode;
  uc.mChk = udsm::kCheckStress;
  uc.iStep = call.step;
  uc.iTer = call.iter;
  uc.time0 = call.time;
  uc.dTime = call.dTime;
  uc.prop = call.prop;
  uc.sig0 = call.sig0;
  uc.swp0 = call.swp0;
  uc.swp = call.swp;
  uc.dEps = call.dEps;
  uc.bulkW = call.pms0.waterBulk;
  uc.stVar0 = StartStateCopy(session, call.stVar0 ? call.stVar0 + kModelStateOffset : nullptr, nStat);
  uc.stVar = call.stVar ? call.stVar + kModelStateOffset : nullptr;
  call.iAbort = udsm::ModUsr3D(session, uc, nullptr, TextsOf(call.texts, &res, session));
  if (call.iAbort != 0) return;
  call.sigC = uc.sig;
  call.swp = uc.swp;
  call.iArea = uc.ipl;
}

void ElasticMatrix(ElasticCall& call) {
  Session& session = RequireSession(call.resources);
  const int nStat = udsm::StateVarCount(call.set->prop);
  udsm::UserCall uc;
  uc.iSet = 1;  // the stiffness request carries no set number: the lab has set 1 only
  uc.IDTask = call.mode;
  uc.modelCode = call.set->modelCode;
  uc.mChk = call.checkWord;
  uc.iStep = call.step;
  uc.iTer = call.iter;
  uc.time0 = call.time;
  uc.dTime = call.dTime;
  uc.prop = &call.set->prop;
  uc.sig0 = call.sig0;
  uc.swp0 = call.swp0;
  uc.swp = call.swp0;
  uc.stVar0 = StartStateCopy(session, call.stVar0 ? call.stVar0 + kModelStateOffset : nullptr, nStat);
  uc.stVar = session.scratch.size() >= static_cast<std::size_t>(std::max(nStat, 1))
                 ? session.scratch.data() : nullptr;
  if (uc.stVar && uc.stVar0) std::copy_n(uc.stVar0, nStat, uc.stVar);
  call.iAbort = udsm::ModUsr3D(session, uc, nullptr, TextsOf(nullptr, call.resources, session));
  if (call.iAbort != 0) return;
  call.D = uc.D;
  call.waterBulk = uc.bulkW;
}

}  // namespace

const ModelFamily& UserModelFamily() {
  static const ModelFamily family{
      .name = "udsm",
      .models = kUserModels,
      .minStateVars = 1,
      .genMatShearModulus = GenMatShearModulus,
      .initPoint = InitPoint,
      .stress = Stress,
      .elasticMatrix = ElasticMatrix,
      .setUp = SetUp,
  };
  return family;
}

}  // namespace soilcal::models

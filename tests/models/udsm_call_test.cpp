// The user-model contract as the library sees it: the link asks for the
// state-variable count and the matrix attributes, the stiffness tasks come
// with a zero matrix and are saved, the stress task gets the saved matrix
// and the start state, and undrained sets get a water stiffness. Every way
// a library can fail ends in a kernel-error code with its message texts,
// never in a crash of the program or a NaN stress.
#include <gtest/gtest.h>

#include "services/errors.hpp"
#include "udsm_test_helpers.hpp"

namespace soilcal::models::udsm {
namespace {

using namespace udsm::testing;

class UserModelCall : public ::testing::Test {
 protected:
  void SetUp() override {
    services::SetVirtualLabMode(1);
    ASSERT_TRUE(probe.ok()) << "libudsm_probe64.so must be built beside the tests";
    probe.Reset();
  }

  // Links `set` as set 1 and runs one stress call; returns the abort code.
  int StressCall(MaterialSet& set, UserCall& c) {
    EXPECT_EQ(LinkUserModels(session, 1, set, texts).iAbort, 0);
    c = Call(set, 2);
    c.sig0 = {-100.0, -100.0, -100.0, 0.0, 0.0, 0.0};
    c.dEps = {-1e-3, 0.0, 0.0, 0.0, 0.0, 0.0};
    c.sig = {7.0, 7.0, 7.0, 7.0, 7.0, 7.0};  // must stay untouched on failure
    return ModUsr3D(session, c, &set.prop, texts);
  }

  Probe probe{"udsm_probe64.dll"};
  Session session = BuildFolderSession();
  services::KernelMessageTexts texts;
};
using UserModelFailure = UserModelCall;

TEST_F(UserModelCall, LinkAsksForStateCountThenAttributesAndKeepsTheExtraInfo) {
  MaterialSet set = ProbeSet("udsm_probe.dll", 121, {.nStat = 3, .nonSym = 1, .timeDep = 1});
  session.refPressure = 12.5;
  const LinkResult link = LinkUserModels(session, 1, set, texts);
  ASSERT_EQ(link.iAbort, 0);
  EXPECT_EQ(link.maxNStat, 3);
  EXPECT_EQ(set.prop[30], 3.0);  // nStat lands in slot 30 of the set

  const auto calls = probe.Calls();
  ASSERT_EQ(Tasks(calls), (std::vector<int>{4, 5}));
  EXPECT_EQ(calls[0].iMod, 1);   // model 21
  EXPECT_EQ(calls[0].Props[0], kE);
  EXPECT_EQ(calls[0].Props[49], 40.0);  // slot 80 is user parameter 50

  EXPECT_EQ(Flags(session.attributes), (std::array{1, 0, 1, 0}));

  // The text's first character is skipped; the values are kept as given.
  const ExtraInfo& info = session.extra[1];
  EXPECT_EQ(info.text.size(), 255u);
  EXPECT_EQ(info.text.substr(0, 12), "probe model ");
  EXPECT_EQ(info.ints[0], 1);
  EXPECT_EQ(info.reals[9], 2.5);

  // A second set of model 25 is model index 5 of the same library; a flag
  // once set stays set although this set answers 0.
  MaterialSet other = ProbeSet("udsm_probe.dll", 125);
  ASSERT_EQ(LinkUserModels(session, 2, other, texts).iAbort, 0);
  EXPECT_EQ(probe.Calls().back().iMod, 5);
  EXPECT_EQ(Flags(session.attributes), (std::array{1, 0, 1, 0}));
  EXPECT_EQ(session.maxNStat, 3);
}

TEST_F(UserModelCall, StressTaskGetsSavedStiffnessAndStartStateAndReturnsTheAnswer) {
  MaterialSet set = ProbeSet("udsm_probe.dll", 121, {.nStat = 2});
  ASSERT_EQ(LinkUserModels(session, 1, set, texts).iAbort, 0);

  UserCall stiff = Call(set, 3);
  stiff.time0 = 3.0;
  stiff.dTime = 0.5;
  stiff.D[0][0] = 99.0;  // whatever the caller holds, the library gets zeros
  ASSERT_EQ(ModUsr3D(session, stiff, &set.prop, texts), 0);
  EXPECT_EQ(stiff.D, ProbeStiffness());
  EXPECT_EQ(session.savedStiffness, stiff.D);

  std::array<double, 2> stVar0{5.0, 7.0}, stVar{-1.0, -1.0};
  UserCall c = Call(set, 2);
  c.sig0 = {-100.0, -50.0, -50.0, 0.0, 0.0, 0.0};
  c.dEps = {-1e-3, 0.0, 0.0, 2e-3, 0.0, 0.0};
  c.stVar0 = stVar0.data();
  c.stVar = stVar.data();
  c.dTime = 0.5;
  c.swp0 = 1.0;
  c.swp = 3.5;
  ASSERT_EQ(ModUsr3D(session, c, &set.prop, texts), 0);
  // sig = sig0 + D dEps with D11 = 12000, D12 = 4000, G = 4000.
  EXPECT_EQ(c.sig, (Vec6{-112.0, -54.0, -54.0, 8.0, 0.0, 0.0}));
  // The library adds 1 to the StVar it receives: StVar started as StVar0.
  EXPECT_EQ(stVar, (std::array{6.0, 8.0}));

  const auto calls = probe.Calls();
  ASSERT_EQ(Tasks(calls), (std::vector<int>{4, 5, 3, 2}));
  for (double d : calls[2].D) EXPECT_EQ(d, 0.0);
  const ProbeRecord& r = calls[3];
  // The saved stiffness column by column (symmetric, so equal to row by row).
  for (int i = 0; i < 36; ++i) EXPECT_EQ(r.D[i], ProbeStiffness()[i % 6][i / 6]) << i;
  EXPECT_EQ(r.nStat, 2);
  EXPECT_EQ((std::array{r.StVarIn[0], r.StVarIn[1]}), stVar0);
  // Saturation at the end and at the start, suction at the end.
  EXPECT_EQ((std::array{r.Sig0[9], r.Sig0[10], r.Sig0[11]}), (std::array{1.0, 1.0, 0.0}));
  // Swp: in the virtual lab the caller's end value.
  EXPECT_EQ((std::array{r.Swp0, r.Swp}), (std::array{1.0, 3.5}));
  EXPECT_EQ(r.IsUndr, 0);

  // Outside the virtual lab a drained stress call starts from Swp0.
  services::SetVirtualLabMode(0);
  UserCall drained = c;
  ASSERT_EQ(ModUsr3D(session, drained, &set.prop, texts), 0);
  services::SetVirtualLabMode(1);
  EXPECT_EQ(probe.Calls().back().Swp, 1.0);

  // The initialisation task carries no time increment.
  UserCall init = Call(set, 1, kCheckInit);
  init.dTime = 0.5;
  init.stVar0 = stVar0.data();
  init.stVar = stVar.data();
  ASSERT_EQ(ModUsr3D(session, init, nullptr, texts), 0);
  EXPECT_EQ(probe.Calls().back().dTime, 0.0);
}

TEST_F(UserModelCall, UndrainedSetWithoutWaterStiffnessGetsHundredTimesMeanNormalStiffness) {
  // Undrained (drainage type 2), the library returns BulkW = 0: 100 times the
  // mean of the normal block, (3 * 12000 + 6 * 4000) / 9 = 6666.67 = K.
  MaterialSet undrained = ProbeSet("udsm_probe.dll", 221);
  ASSERT_EQ(LinkUserModels(session, 1, undrained, texts).iAbort, 0);
  UserCall c = Call(undrained, 6);
  ASSERT_EQ(ModUsr3D(session, c, &undrained.prop, texts), 0);
  const double K = kE / (3.0 * (1.0 - 2.0 * kNu));
  EXPECT_NEAR(c.bulkW, 100.0 * K, 1e-9 * K);  // rounding of the nine-term mean
  EXPECT_EQ(probe.Calls().back().IsUndr, 1);

  // A value of the library's own is kept.
  MaterialSet withWater = ProbeSet("udsm_probe.dll", 221, {.bulkW = 5e5});
  c = Call(withWater, 3);
  ASSERT_EQ(ModUsr3D(session, c, &withWater.prop, texts), 0);
  EXPECT_EQ(c.bulkW, 5e5);

  // A drained set keeps the library's 0.
  MaterialSet drained = ProbeSet("udsm_probe.dll", 121);
  c = Call(drained, 3);
  ASSERT_EQ(ModUsr3D(session, c, &drained.prop, texts), 0);
  EXPECT_EQ(c.bulkW, 0.0);
}

TEST_F(UserModelFailure, SetOutsideOneToThousandIsRefused) {
  MaterialSet set = ProbeSet("udsm_probe.dll", 121);
  for (int iSet : {0, 1001}) {
    try {
      LinkUserModels(session, iSet, set, texts);
      FAIL() << "set " << iSet << " must be refused";
    } catch (const services::KernelAbort& e) {
      EXPECT_EQ(e.number, 247);
      EXPECT_NE(e.message.find("Limitation: material set <1 or >1000"), std::string::npos);
    }
  }
}

TEST_F(UserModelFailure, ExceptionInsideTheLibraryIsACrash246DirectOrThroughTheBridge) {
  for (const char* name : {"udsm_probe.dll", "udsm_bridged.dll"}) {
    session = BuildFolderSession();
    MaterialSet set = ProbeSet(name, 121, {.failure = 3});
    UserCall c;
    EXPECT_EQ(StressCall(set, c), 246) << name;
    EXPECT_EQ(texts.main, "Crash in UDSM-DLL, set 1, elm 1, gp 1") << name;
    EXPECT_EQ(c.sig[0], 7.0);
  }
}

TEST_F(UserModelFailure, LibraryWithoutAnyEntryPointIsServedByTheBridgeAndFailsThere) {
  MaterialSet set = ProbeSet("udsm_noentry.dll", 121);
  // Linking succeeds (the bridge is told the name); the first call finds no
  // entry point in the library.
  EXPECT_EQ(LinkUserModels(session, 1, set, texts).iAbort, 26);
  EXPECT_EQ(texts.main, "Error loading function from UDSM-DLL, set 1");
  ASSERT_TRUE(session.bridge);
  EXPECT_EQ(session.links[1].entry, nullptr);
}

TEST_F(UserModelFailure, BridgeServesALibraryThatOnlyExportsTheBridgeEntry) {
  MaterialSet set = ProbeSet("udsm_bridged.dll", 121);
  UserCall c;
  ASSERT_EQ(StressCall(set, c), 0);
  EXPECT_EQ(session.links[1].entry, nullptr);
  // sig = sig0 + D dEps: -100 + 12000 * -1e-3 and -100 + 4000 * -1e-3.
  EXPECT_EQ(c.sig, (Vec6{-112.0, -104.0, -104.0, 0.0, 0.0, 0.0}));
}

TEST_F(UserModelFailure, StateVariableCountOutsideThePointCapacityIs247) {
  for (int nStat : {-1, kMaxUserStateVars + 1}) {
    MaterialSet set = ProbeSet("udsm_probe.dll", 121, {.nStat = nStat});
    set.prop[30] = 0.0;
    EXPECT_EQ(LinkUserModels(session, 1, set, texts).iAbort, 247);
    EXPECT_EQ(texts.main, "Invalid number of state variables from UDSM-DLL, set 1");
    EXPECT_EQ(texts.second, "nStat=" + std::to_string(nStat));
    EXPECT_EQ(set.prop[30], 0.0);  // the bad count is not stored
  }
  // The largest count that fits is accepted.
  MaterialSet set = ProbeSet("udsm_probe.dll", 121, {.nStat = kMaxUserStateVars});
  EXPECT_EQ(LinkUserModels(session, 1, set, texts).iAbort, 0);
  EXPECT_EQ(set.prop[30], kMaxUserStateVars);
}

TEST_F(UserModelFailure, CheckWordOf800OrLessIs247) {
  MaterialSet set = ProbeSet("udsm_probe.dll", 121);
  ASSERT_EQ(LinkUserModels(session, 1, set, texts).iAbort, 0);
  UserCall c = Call(set, 3, 800);
  EXPECT_EQ(ModUsr3D(session, c, &set.prop, texts), 247);
  c = Call(set, 3, 801);
  EXPECT_EQ(ModUsr3D(session, c, &set.prop, texts), 0);
}

TEST_F(UserModelFailure, CallOfASetThatWasNeverLinkedIsALoadError26) {
  MaterialSet set = ProbeSet("udsm_probe.dll", 121);
  UserCall c = Call(set, 3);
  EXPECT_EQ(ModUsr3D(session, c, &set.prop, texts), 26);
  EXPECT_EQ(texts.main, "Error loading UDSM-DLL, material set 1");
}

}  // namespace
}  // namespace soilcal::models::udsm

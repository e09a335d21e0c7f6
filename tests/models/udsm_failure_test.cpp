// Every way a user library can fail ends in a kernel-error code with its
// message texts, never in a crash of the program or a NaN stress.
#include <gtest/gtest.h>

#include <cmath>

#include "services/errors.hpp"
#include "udsm_test_helpers.hpp"

namespace soilcal::models::udsm {
namespace {

using namespace udsm::testing;

class UserModelFailure : public ::testing::Test {
 protected:
  void SetUp() override { services::SetVirtualLabMode(1); }

  // Links `set` as set 1 and runs one stress call; returns the abort code.
  int StressCall(MaterialSet& set, UserCall& c) {
    EXPECT_EQ(LinkUserModels(session, 1, set, texts).iAbort, 0);
    c = Call(set, 2);
    c.sig0 = {-100.0, -100.0, -100.0, 0.0, 0.0, 0.0};
    c.dEps = {-1e-3, 0.0, 0.0, 0.0, 0.0, 0.0};
    c.sig = {7.0, 7.0, 7.0, 7.0, 7.0, 7.0};  // must stay untouched on failure
    return ModUsr3D(session, c, &set.prop, texts);
  }

  Session session = BuildFolderSession();
  services::KernelMessageTexts texts;
};

TEST_F(UserModelFailure, SetOutsideOneToThousandIsRefused) {
  MaterialSet set = ProbeSet("udsm_probe.dll", 121, ProbeSettings{});
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
  ProbeSettings s;
  s.failure = 3;
  for (const char* name : {"udsm_probe.dll", "udsm_bridged.dll"}) {
    session = BuildFolderSession();
    MaterialSet set = ProbeSet(name, 121, s);
    UserCall c;
    EXPECT_EQ(StressCall(set, c), 246) << name;
    EXPECT_EQ(texts.main, "Crash in UDSM-DLL, set 1, elm 1, gp 1") << name;
    EXPECT_EQ(c.sig[0], 7.0);
  }
}

TEST_F(UserModelFailure, LibraryWithoutAnyEntryPointIsServedByTheBridgeAndFailsThere) {
  MaterialSet set = ProbeSet("udsm_noentry.dll", 121, ProbeSettings{});
  // Linking succeeds (the bridge is told the name); the first call finds no
  // entry point in the library.
  const LinkResult link = LinkUserModels(session, 1, set, texts);
  EXPECT_EQ(link.iAbort, 26);
  EXPECT_EQ(texts.main, "Error loading function from UDSM-DLL, set 1");
  ASSERT_TRUE(session.bridge);
  EXPECT_EQ(session.links[1].entry, nullptr);
}

TEST_F(UserModelFailure, BridgeServesALibraryThatOnlyExportsTheBridgeEntry) {
  MaterialSet set = ProbeSet("udsm_bridged.dll", 121, ProbeSettings{});
  UserCall c;
  ASSERT_EQ(StressCall(set, c), 0);
  EXPECT_EQ(session.links[1].entry, nullptr);
  // sig = sig0 + D dEps: -100 + 12000 * -1e-3 and -100 + 4000 * -1e-3.
  EXPECT_EQ(c.sig, (Vec6{-112.0, -104.0, -104.0, 0.0, 0.0, 0.0}));
}

TEST_F(UserModelFailure, StateVariableCountOutsideThePointCapacityIs247) {
  for (int nStat : {-1, kMaxUserStateVars + 1}) {
    ProbeSettings s;
    s.nStat = nStat;
    MaterialSet set = ProbeSet("udsm_probe.dll", 121, s);
    set.prop[30] = 0.0;
    const LinkResult link = LinkUserModels(session, 1, set, texts);
    EXPECT_EQ(link.iAbort, 247);
    EXPECT_EQ(texts.main, "Invalid number of state variables from UDSM-DLL, set 1");
    EXPECT_EQ(texts.second, "nStat=" + std::to_string(nStat));
    EXPECT_EQ(set.prop[30], 0.0);  // the bad count is not stored
  }
  // The largest count that fits is accepted.
  ProbeSettings s;
  s.nStat = kMaxUserStateVars;
  MaterialSet set = ProbeSet("udsm_probe.dll", 121, s);
  EXPECT_EQ(LinkUserModels(session, 1, set, texts).iAbort, 0);
  EXPECT_EQ(set.prop[30], kMaxUserStateVars);
}

TEST_F(UserModelFailure, CheckWordOf800OrLessIs247) {
  MaterialSet set = ProbeSet("udsm_probe.dll", 121, ProbeSettings{});
  ASSERT_EQ(LinkUserModels(session, 1, set, texts).iAbort, 0);
  UserCall c = Call(set, 3, 800);
  EXPECT_EQ(ModUsr3D(session, c, &set.prop, texts), 247);
  c = Call(set, 3, 801);
  EXPECT_EQ(ModUsr3D(session, c, &set.prop, texts), 0);
}

TEST_F(UserModelFailure, CallOfASetThatWasNeverLinkedIsALoadError26) {
  MaterialSet set = ProbeSet("udsm_probe.dll", 121, ProbeSettings{});
  UserCall c = Call(set, 3);
  EXPECT_EQ(ModUsr3D(session, c, &set.prop, texts), 26);
  EXPECT_EQ(texts.main, "Error loading UDSM-DLL, material set 1");
}

}  // namespace
}  // namespace soilcal::models::udsm

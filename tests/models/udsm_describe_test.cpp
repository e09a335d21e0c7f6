// Libraries that describe their models (DescribeUserModel) and those that do
// not: what the program makes of the description, where it finds a model by
// its declared name, and that a library without the function keeps the
// program's own table (the example library) or none (the probe library).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "models/parameter_table.hpp"
#include "models/udsm/describe.hpp"

namespace soilcal::models::udsm {
namespace {

namespace params = models::params;

// The folder of the test programs, where the example library and the
// hypoplastic library are built; the probe libraries lie in its udsm/.
const std::string kProgramFolder = std::string(SOILCAL_BINARY_DIR) + "/";

TEST(UdsmDescribe, TheExampleLibrarysDescriptionMatchesTheProgramsOwnTable) {
  for (const params::UserModel& own : params::UserModels()) {
    SCOPED_TRACE(own.model.name);
    const DescribedModel* d = DescribeLibraryModel(own.library, own.model.number - 20, kProgramFolder);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->model.name, own.model.name);
    EXPECT_EQ(d->model.number, own.model.number);
    EXPECT_EQ(d->library, "usermod.dll");
    ASSERT_EQ(d->model.parameters.size(), own.model.parameters.size());
    for (std::size_t i = 0; i < own.model.parameters.size(); ++i) {
      const params::Parameter& a = d->model.parameters[i];
      const params::Parameter& b = own.model.parameters[i];
      SCOPED_TRACE(b.name);
      EXPECT_EQ(a.name, b.name);
      EXPECT_EQ(a.slot, b.slot);
      EXPECT_EQ(a.symbol, b.symbol);
      EXPECT_EQ(a.words, b.words);
      EXPECT_EQ(a.quantity, b.quantity);
      EXPECT_EQ(a.stored, b.stored);
      EXPECT_EQ(a.range.low, b.range.low);
      EXPECT_EQ(a.range.high, b.range.high);
      EXPECT_EQ(a.range.lowOpen, b.range.lowOpen);
      EXPECT_EQ(a.range.highOpen, b.range.highOpen);
    }
  }
  // Model 3 is not in the example library.
  EXPECT_EQ(DescribeLibraryModel("usermod.dll", 3, kProgramFolder), nullptr);
}

TEST(UdsmDescribe, ALibraryWithoutTheFunctionDescribesNothingAndStaysLoadable) {
  // The probe library (udsm/libudsm_probe64.so) exports User_Mod only.
  EXPECT_EQ(DescribeLibraryModel("udsm_probe.dll", 1, kProgramFolder), nullptr);
  EXPECT_EQ(DescriptionProblem(kProgramFolder + "udsm/libudsm_probe64.so", 1), "");
  // A library name that finds no file describes nothing either.
  EXPECT_EQ(DescribeLibraryModel("no_such_library.dll", 1, kProgramFolder), nullptr);
  for (const DescribedModel* m : DescribedModels(kProgramFolder)) {
    EXPECT_NE(m->library, "udsm_probe.dll");
  }
}

TEST(UdsmDescribe, ADescriptionAgainstTheRulesIsRefusedWithItsReason) {
  // udsm/libudsm_broken64.so declares the name "E" twice: its model is not
  // described (its parameters stay slot_N), and the reason is kept.
  EXPECT_EQ(DescribeLibraryModel("udsm_broken.dll", 1, kProgramFolder), nullptr);
  EXPECT_EQ(DescriptionProblem(kProgramFolder + "udsm/libudsm_broken64.so", 1),
            "parameter 2: \"E\" is declared twice");
  EXPECT_EQ(FindDescribedModel("broken_probe", kProgramFolder), nullptr);
  const std::vector<std::string> refused = RefusedDescriptions(kProgramFolder);
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0], "libudsm_broken64.so, model 1: parameter 2: \"E\" is declared twice");
}

TEST(UdsmDescribe, TheHypoplasticModelIsFoundByItsDeclaredName) {
  const DescribedModel* m = FindDescribedModel("hypoplastic_sand", kProgramFolder);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->library, "hypoplastic_sand.dll");
  EXPECT_EQ(m->iMod, 1);
  EXPECT_EQ(m->model.number, 21);
  // The names of the papers' parameters in their slots (user parameter i is
  // slot 30 + i), angles in degrees as given, hs a stress.
  const std::pair<const char*, int> slots[] = {
      {"phi_c", 31}, {"hs", 32}, {"n", 33}, {"ed0", 34}, {"ec0", 35}, {"ei0", 36},
      {"alpha", 37}, {"beta", 38}, {"mR", 39}, {"mT", 40}, {"R", 41}, {"beta_r", 42},
      {"chi", 43}, {"e0", 44}, {"n0", 45}};
  for (const auto& [name, slot] : slots) {
    const params::Parameter* p = params::FindParameter(m->model, name);
    ASSERT_NE(p, nullptr) << name;
    EXPECT_EQ(p->slot, slot) << name;
    EXPECT_EQ(p->stored, params::Stored::kAsGiven) << name;
  }
  EXPECT_EQ(params::FindParameter(m->model, "phi_c")->quantity, params::Quantity::kAngle);
  EXPECT_EQ(params::FindParameter(m->model, "hs")->quantity, params::Quantity::kStress);
  EXPECT_FALSE(params::FindParameter(m->model, "phi_c")->range.Contains(90.0));
  EXPECT_TRUE(params::FindParameter(m->model, "phi_c")->range.Contains(33.1));
  ASSERT_GE(m->stateVariables.size(), 7u);
  EXPECT_EQ(m->stateVariables[0].name, "e");
  EXPECT_EQ(m->stateVariables[1].name, "delta_xx");
  // The library declares e0 and n0 itself: the set's slot 20 is not offered
  // under those names a second time.
  int e0Count = 0;
  for (const params::Parameter& p : m->model.parameters) e0Count += p.name == "e0";
  EXPECT_EQ(e0Count, 1);
  EXPECT_EQ(FindDescribedModel("hypoplastic", kProgramFolder), nullptr);
}

TEST(UdsmDescribe, TheDisplayOfAUserModelsSlotComesFromItsLibrary) {
  // Through the program folder of the tests, which is where the lookup of
  // the parameter table searches.
  const auto shown = params::DisplayOfSlot(21, 32, "hypoplastic_sand.dll");
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(shown->symbol, "hs");
  EXPECT_EQ(shown->quantity, params::Quantity::kStress);
  EXPECT_FALSE(shown->sine);
  EXPECT_FALSE(params::DisplayOfSlot(21, 32, "udsm_probe.dll").has_value());
  EXPECT_FALSE(params::DisplayOfSlot(21, 32).has_value());
}

TEST(UdsmDescribe, LibraryFileNamesGiveTheMaterialNameThatFindsThem) {
  EXPECT_EQ(LibraryNameOfFile("libhypoplastic_sand64.so"), "hypoplastic_sand.dll");
  EXPECT_EQ(LibraryNameOfFile("usermod64.so"), "usermod.dll");
  EXPECT_EQ(LibraryNameOfFile("UserMod64.DLL"), "UserMod.dll");
  // The bridge, the cap library and files of other kinds are no user models.
  EXPECT_EQ(LibraryNameOfFile("libUqUsrMod.so"), "");
  EXPECT_EQ(LibraryNameOfFile("libzarirude.so"), "");
  EXPECT_EQ(LibraryNameOfFile("notes64.txt"), "");
  EXPECT_EQ(LibraryNameOfFile("64.so"), "");
}

// The manual's page of the hypoplastic sand lists what the library declares:
// every parameter by its TOML name with its user parameter number, so the
// page and the library cannot drift apart.
TEST(UdsmDescribe, TheManualPageListsEveryParameterTheHypoplasticLibraryDeclares) {
  const DescribedModel* m = FindDescribedModel("hypoplastic_sand", kProgramFolder);
  ASSERT_NE(m, nullptr);
  std::ifstream in(std::string(SOILCAL_SOURCE_DIR) + "/docs/hypoplastic_sand.md");
  ASSERT_TRUE(in) << "docs/hypoplastic_sand.md";
  const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const params::Parameter& p : m->model.parameters) {
    if (p.slot < 31) continue;  // the set's own n0/e0 are not the library's
    const std::string row = "| `" + std::string(p.name) + "` | " + std::to_string(p.slot - 30) + " |";
    EXPECT_NE(page.find(row), std::string::npos) << row;
  }
  for (const StateVariableInfo& v : m->stateVariables) {
    EXPECT_NE(page.find("`" + v.name + "`"), std::string::npos) << v.name;
  }
}

}  // namespace
}  // namespace soilcal::models::udsm

// Free parameters that the model's completion overwrites or ignores: which
// get a note, and which do not, by model, slot, bounds and the set's values.
#include <gtest/gtest.h>

#include <string>

#include "optimisation/derived_slots.hpp"

namespace soilcal::optimisation {
namespace {

struct Case {
  const char* what;
  int model;                       // model number of the job (base + 100)
  std::vector<int> slots;
  std::vector<double> lower, upper;
  std::vector<std::pair<int, double>> set;  // slots of material set 1
  std::vector<std::string> starts;          // expected start of each note ("" none)
};

TEST(DerivedSlots, NotesFollowTheCompletionOfEachModel) {
  const Case cases[] = {
      {"Mohr-Coulomb reads every slot as given", 102, {1, 3, 5}, {1e3, 0.3, 0.0},
       {1e5, 0.7, 0.3}, {}, {"", "", ""}},
      {"Hoek-Brown ignores GSI once mb, s and a are derived", 115, {31, 33}, {1e4, 10.0},
       {1e5, 90.0}, {}, {"", "GSI (slot 33) has no effect once material set 1 is completed"}},
      {"but mb freed down to 0 derives again, so GSI counts", 115, {45, 33}, {0.0, 10.0},
       {5.0, 90.0}, {}, {"mb (slot 45) is derived from mi, GSI and D when not positive, and its "
                         "lower bound 0 lets the search reach that", ""}},
      {"mb above 0 is read as given", 115, {45}, {0.5}, {5.0}, {}, {""}},
      {"soft soil overwrites M and G", 104, {31, 1, 39}, {0.5, 1e3, 0.05}, {2.0, 1e5, 0.2}, {},
       {"M (slot 31) has no effect: the completion of the soft soil model overwrites it",
        "G (slot 1) has no effect", ""}},
      {"modified Cam-Clay reads M as given", 105, {31}, {0.5}, {2.0}, {}, {""}},
      {"NGI-ADP derives G from Gur/suA and sets phi to 0", 112, {1, 3, 4}, {1e3, 0.1, 10.0},
       {1e5, 0.5, 100.0}, {}, {"G (slot 1) has no effect", "phi (slot 3) has no effect", ""}},
      {"NGI-ADP strength ratio: derived while suP is given", 112, {36}, {0.3}, {1.0},
       {{33, 40.0}}, {"suP_over_suA (slot 36) has no effect"}},
      {"and read as given while suP is 0", 112, {36}, {0.3}, {1.0}, {{33, 0.0}}, {""}},
      {"a user-defined model has no table", 121, {31, 33}, {1e3, 10.0}, {1e5, 40.0}, {},
       {"", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    input::Job job;
    job.modelNumber = c.model;
    job.settings.nParams = static_cast<int>(c.slots.size());
    job.settings.index = c.slots;
    job.settings.lower = c.lower;
    job.settings.upper = c.upper;
    models::PropSoil set1;
    for (const auto& [slot, value] : c.set) set1[slot] = value;
    const std::vector<std::string> notes = DerivedSlotNotes(job, set1);
    ASSERT_EQ(notes.size(), c.starts.size());
    for (std::size_t j = 0; j < notes.size(); ++j) {
      if (c.starts[j].empty()) {
        EXPECT_EQ(notes[j], "") << j;
      } else {
        EXPECT_EQ(notes[j].rfind(c.starts[j], 0), 0u) << notes[j];
      }
    }
  }
}

// A TOML job's note names the parameter as the job does, never its slot:
// mb with its bound, and NGI-ADP's G (slot 1) as the E the job frees.
TEST(DerivedSlots, ATomlJobsNotesSpeakItsTerms) {
  input::Job job;
  job.modelNumber = 115;
  job.settings.nParams = 2;
  job.settings.index = {45, 33};
  job.settings.lower = {0.0, 10.0};
  job.settings.upper = {5.0, 90.0};
  input::JobLanguage language;
  language.parameters = {{45, "mb", "", "as_given"}, {33, "GSI", "", "as_given"}};
  job.language = language;
  const std::vector<std::string> notes = DerivedSlotNotes(job, models::PropSoil{});
  EXPECT_EQ(notes[0].rfind("mb is derived from mi, GSI and D when not positive, and its lower "
                           "bound 0 lets the search reach that",
                           0),
            0u)
      << notes[0];
  EXPECT_EQ(notes[0].find("slot"), std::string::npos) << notes[0];

  input::Job ngi;
  ngi.modelNumber = 112;
  ngi.settings.nParams = 1;
  ngi.settings.index = {1};
  ngi.settings.lower = {1e3};
  ngi.settings.upper = {1e5};
  input::JobLanguage e;
  e.parameters = {{1, "E", "kPa", "shear_from_young", 0.25}};
  ngi.language = e;
  const std::string note = DerivedSlotNotes(ngi, models::PropSoil{})[0];
  EXPECT_EQ(note.rfind("E has no effect", 0), 0u) << note;
  EXPECT_EQ(note.find("slot"), std::string::npos) << note;
}

}  // namespace
}  // namespace soilcal::optimisation

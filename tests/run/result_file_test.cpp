// The text of Optimization_result.txt and the names written into it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "run/result_file.hpp"
#include "services/clock.hpp"
#include "support/run_error.hpp"

namespace soilcal::run {
namespace {

// A result file on an anonymous temporary stream, read back as text.
class ResultText {
 public:
  ResultText() : stream_(std::tmpfile()) { file.Attach(stream_); }
  ~ResultText() {
    file.Close();
    std::fclose(stream_);
  }
  std::string Text() {
    std::fflush(stream_);
    std::rewind(stream_);
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, stream_)) text += buffer;
    return text;
  }
  ResultFile file;

 private:
  std::FILE* stream_;
};

// Start times just taken: the timing lines are then small, and everything
// after them is fixed.
RunClock Now() { return RunClock{services::WallClockMs(), services::CpuTime()}; }

// The text after the two timing lines of a "General" section.
std::string AfterTimes(const std::string& text) {
  const auto cpu = text.find(" CPU Time = ");
  return cpu == std::string::npos ? text : text.substr(text.find('\n', cpu) + 1);
}

TEST(ParamNames, ModelTableOverridesGeneralTableOverridesDefault) {
  for (int model : {1, 2, 6, 19, 25}) EXPECT_EQ(ParamName(1, model), "Gref");
  for (int model : {3, 5, 6, 19}) EXPECT_EQ(ParamName(35, model), "pref") << model;
  for (int model : {1, 2, 4, 7, 8, 21}) EXPECT_EQ(ParamName(35, model), "ProLay35") << model;
  const std::tuple<int, int, const char*> named[] = {
      {32, 19, "Ks/Kc"}, {40, 8, "MuModified"}, {40, 5, "ProLay40"}, {115, 2, "gl"},
      {116, 2, "ProLay116"}};
  for (const auto& [slot, model, name] : named) EXPECT_EQ(ParamName(slot, model), name) << slot;
}

TEST(ResultFile, GeneralSectionCallsAnUnlistedCodeAnUnknownError) {
  // The known names are checked through the program with the bad jobs.
  ResultText unknown;
  unknown.file.WriteGeneralSection(25, Now());
  EXPECT_EQ(AfterTimes(unknown.Text()), " Exit Code = 25\n Unknown error = 25\n");
}

TEST(ResultFile, PenaltyErrorRaisesSmallOverlapWithoutWritingAnything) {
  ResultText result;
  const std::vector<double> best = {1.0};
  const std::vector<int> index = {1};
  EXPECT_EQ(testing::RunErrorOf(
                [&] { result.file.WriteOptimisationResult(best, index, 2, 6e22, best, 0, Now()); }),
            19);
  EXPECT_EQ(result.Text(), "");

  // 5e22 itself is not above the limit.
  ResultText limit;
  limit.file.WriteOptimisationResult(best, index, 2, 5e22, best, 0, Now());
  EXPECT_NE(limit.Text().find(" Relative Error = 5e+22\n"), std::string::npos);
}

}  // namespace
}  // namespace soilcal::run

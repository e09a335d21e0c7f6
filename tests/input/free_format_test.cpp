#include "input/free_format.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "test_support.hpp"

namespace soilcal::input {
namespace {

std::vector<std::string> Records(const std::string& text) {
  testing::TempDir dir;
  const std::string path = dir.Write("f.txt", text);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  LineReader lines(f, path);
  std::vector<std::string> out;
  std::string line;
  while (lines.Next(line)) out.push_back(line);
  std::fclose(f);
  return out;
}

TEST(FreeFormat, RecordsDropCrBomAndAreCutAt255Characters) {
  const std::string longLine(300, 'x');
  const auto r = Records("\xEF\xBB\xBF" "first\r\n" + longLine + "\r\n\xEF\xBB\xBF\r\n\xFF\xFE\x01z\nlast");
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[0], "first");
  EXPECT_EQ(r[1], std::string(255, 'x'));  // the rest of the line is dropped, not a record
  EXPECT_EQ(r[2], "");                     // a mark alone leaves an empty record
  EXPECT_EQ(r[3], "\xFF\xFE\x01z");        // bytes of any encoding pass unchanged
  EXPECT_EQ(r[4], "last");                 // a last line without newline still counts
  EXPECT_TRUE(Records("").empty());
}

TEST(FreeFormat, ValuesSplitAtBlanksAndCommasWithQuotesNullsAndSlash) {
  const SplitRecord a = SplitValues("  1, 2.5\t'a b,c/d'  \"x\"\"y\" dir/f.vlc");
  ASSERT_EQ(a.values.size(), 5u);
  EXPECT_EQ(a.values[0].text, "1");
  EXPECT_EQ(a.values[1].text, "2.5");
  EXPECT_EQ(a.values[2].text, "a b,c/d");
  EXPECT_EQ(a.values[3].text, "x\"y");
  EXPECT_EQ(a.values[4].text, "dir/f.vlc");  // a slash inside a name does not end the record
  EXPECT_FALSE(a.slash);

  const SplitRecord b = SplitValues(",1,,3 / 4");
  ASSERT_EQ(b.values.size(), 4u);
  EXPECT_TRUE(b.values[0].null);
  EXPECT_TRUE(b.values[2].null);
  EXPECT_EQ(b.values[3].text, "3");
  EXPECT_TRUE(b.slash);
}

TEST(FreeFormat, NumbersParseAsFreeFormatReadsThemAndRoundHalvesAwayFromZero) {
  double d = 0.0;
  EXPECT_TRUE(ParseReal("1.5D+2", d) && d == 150.0);
  EXPECT_TRUE(ParseReal("+.25", d) && d == 0.25);
  for (const char* bad : {"nan", "1e999", "abc", ""}) EXPECT_FALSE(ParseReal(bad, d)) << bad;
  int i = 0;
  EXPECT_TRUE(ParseInteger("8.0", i) && i == 8);  // an integral real stands for an integer
  EXPECT_FALSE(ParseInteger("2.5", i));
  EXPECT_FALSE(ParseInteger("99999999999", i));
  EXPECT_EQ(RoundHalfAway(5.5), 6);
  EXPECT_EQ(RoundHalfAway(-0.5), -1);
  EXPECT_EQ(RoundHalfAway(2.49), 2);
  EXPECT_EQ(RoundHalfAway(1e300), INT_MAX);
}

TEST(FreeFormat, ReadsFillItemsFromOneRecordOrContinueOnTheNext) {
  int n = 0;
  double x = -1.0;
  std::string name;
  EXPECT_EQ(ReadFromRecord("'my test.vlc', 3", {&name, &n}), ReadStatus::kOk);
  EXPECT_EQ(name, "my test.vlc");
  EXPECT_EQ(n, 3);
  EXPECT_EQ(ReadFromRecord("4", {&n, &x}), ReadStatus::kMissing);
  EXPECT_EQ(ReadFromRecord("4 /", {&n, &x}), ReadStatus::kOk);
  EXPECT_EQ(x, -1.0);  // left by the slash
  EXPECT_EQ(ReadFromRecord("4,,", {&n, &x}), ReadStatus::kOk);
  EXPECT_EQ(x, -1.0);  // left by the null value
  EXPECT_EQ(ReadFromRecord("x 1", {&n, &x}), ReadStatus::kBadValue);

  testing::TempDir dir;
  const std::string path = dir.Write("s.txt", "1\n\n2.5 9\n7\n");
  std::FILE* f = std::fopen(path.c_str(), "rb");
  LineReader lines(f, path);
  EXPECT_EQ(ReadStatement(lines, {&n, &x}), ReadStatus::kOk);  // over a blank record
  EXPECT_EQ(n, 1);
  EXPECT_EQ(x, 2.5);
  EXPECT_EQ(lines.lineNumber(), 3);  // the 9 is dropped with its record
  EXPECT_EQ(ReadStatement(lines, {&n, &x}), ReadStatus::kMissing);
  std::fclose(f);
}

}  // namespace
}  // namespace soilcal::input

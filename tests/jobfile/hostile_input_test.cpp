// Inputs that used to pass unnoticed or stop the program without a word: a
// CSV row whose cells do not match the header, a column name given twice or
// not at all, a UTF-16 file, a folder or a FIFO named as a CSV file, a curve
// name no file can carry, a scale that overflows, and a TOML file nested so
// deep that the parser would overflow the stack. Each is refused with a
// sentence naming the file, the line (and the column) and the fix.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "jobfile/csv.hpp"
#include "jobfile/toml_bounds.hpp"
#include "jobfile_support.hpp"
#include "support/files.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

std::string CsvRefusal(const std::string& text) {
  try {
    jobfile::ParseCsv(text, "txa.csv");
  } catch (const jobfile::CsvError& e) {
    return e.what();
  }
  return "";
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CsvShape, RowsAndHeadersThatWouldShiftOrHideAColumnAreRefusedAtTheirPlace) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<std::string> says;
  };
  const Case cases[] = {
      {"thousands separator", "axial_strain,deviator_stress\n0.001,100\n0.002,1,200.0\n",
       {"txa.csv line 3, column 3", "3 cells under a header of 2 columns",
        "thousands separator"}},
      {"short row", "axial_strain,deviator_stress\n0.001,100\n0.002\n",
       {"txa.csv line 3, column 2 (\"deviator_stress\")", "1 cells under a header of 2"}},
      {"name given twice", "axial_strain,deviator_stress,deviator_stress\n0.001,100,120\n",
       {"txa.csv line 1, column 3", "\"deviator_stress\" is given twice (also column 2)"}},
      {"empty name", "axial_strain,,deviator_stress\n0.001,5,100\n",
       {"txa.csv line 1, column 2", "has no name"}},
      {"UTF-16 with its byte-order mark", std::string("\xFF\xFE" "a\0,\0b\0", 8),
       {"txa.csv line 1 begins as a UTF-16 file", "save it as UTF-8"}},
      {"NUL bytes later on", std::string("a,b\n1,2\n3\0,4\n", 13),
       {"txa.csv line 3 holds a NUL byte"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string message = CsvRefusal(c.text);
    ASSERT_FALSE(message.empty());
    EXPECT_EQ(message.find('\0'), std::string::npos);
    for (const std::string& part : c.says) EXPECT_TRUE(Has(message, part)) << message;
  }
}

TEST(CsvShape, HarmlessDifferencesStillRead) {
  // Trailing empty cells (a spreadsheet's habit), comments, blank lines.
  const jobfile::CsvTable t =
      jobfile::ParseCsv("# lab sheet\neps,q,\n\n0.001,100,\n0.002,\"1,200.5\",,\n", "t.csv");
  ASSERT_EQ(t.header, (std::vector<std::string>{"eps", "q"}));
  ASSERT_EQ(t.rows.size(), 2u);
  EXPECT_EQ(t.rows[0], (std::vector<std::string>{"0.001", "100"}));
  // Quoted, the delimiter stays in its cell: one cell, and not a number.
  EXPECT_EQ(t.rows[1], (std::vector<std::string>{"0.002", "1,200.5"}));
  EXPECT_THROW(jobfile::NumericColumn(t, 1), jobfile::CsvError);
  EXPECT_EQ(t.lines, (std::vector<int>{4, 5}));
  EXPECT_EQ(jobfile::NumericColumn(t, 0), (std::vector<double>{0.001, 0.002}));
}

// A drained triaxial Mohr-Coulomb job on txa.csv with one curve.
std::string Job(const std::string& curveExtra, const std::string& file = "txa.csv") {
  return "[model]\nname = \"mohr_coulomb\"\n"
         "[parameters]\nG = 10000\nnu = 0.25\nphi = 35\nc = 1\n"
         "[calibrate]\nfree = { G = [5000, 20000], phi = [25, 45] }\n"
         "[[tests]]\nname = \"TXA\"\ntype = \"triaxial_compression\"\n"
         "cell_pressure = 100\naxial_strain = 0.1\n"
         "[[tests.curves]]\nfile = \"" + file + "\"\nx = \"axial_strain\"\n"
         "y = \"deviator_stress\"\n" + curveExtra;
}

TEST(HostileJobFiles, EachIsRefusedWithItsSentenceBeforeAnythingIsWritten) {
  struct Case {
    const char* what;
    std::string job;
    std::string csv;  // txa.csv
    int code;
    std::vector<std::string> says;
  };
  const std::string good = "axial_strain,deviator_stress\n0.01,100\n0.02,150\n";
  const Case cases[] = {
      {"thousands separator in the CSV", Job(""),
       "axial_strain,deviator_stress\n0.002,1,200.0\n", 11,
       {"job.toml line 16:", "txa.csv line 2, column 3", "thousands separator"}},
      {"duplicate column", Job(""),
       "axial_strain,deviator_stress,deviator_stress\n0.01,100,99\n", 11,
       {"txa.csv line 1, column 3", "given twice"}},
      {"slash in the curve name", Job("name = \"q/p\"\n"), good, 12,
       {"job.toml line 19:", "\"TXA_q/p\"", "a file name cannot"}},
      {"backslash in the curve name", Job("name = \"q\\\\p\"\n"), good, 12,
       {"job.toml line 19:", "a file name cannot"}},
      {"scale that overflows", Job("y_scale = 1e308\n"), good, 11,
       {"txa.csv line 2", "beyond the largest number", "check the scale"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    dir.Write("txa.csv", c.csv);
    const auto error = JobFileError(dir.Write("job.toml", c.job));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, c.code) << error->detail;
    for (const std::string& part : c.says) EXPECT_TRUE(Has(error->detail, part)) << error->detail;
  }
}

TEST(HostileJobFiles, AFolderOrAFifoNamedAsTheCsvFileIsSaidAndNeverWaitedOn) {
  TempDir dir;
  fs::create_directories(dir.path() / "folder.csv");
  ASSERT_EQ(::mkfifo((dir.path() / "pipe.csv").c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  const auto folder = JobFileError(dir.Write("a.toml", Job("", "folder.csv")));
  const auto fifo = JobFileError(dir.Write("b.toml", Job("", "pipe.csv")));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
  ASSERT_TRUE(folder && fifo);
  EXPECT_TRUE(Has(folder->detail, "curve file \"folder.csv\" is a folder, not a file"))
      << folder->detail;
  EXPECT_TRUE(Has(fifo->detail, "curve file \"pipe.csv\" is a FIFO")) << fifo->detail;
  // The job file itself as a FIFO.
  ASSERT_EQ(::mkfifo((dir.path() / "fifo.toml").c_str(), 0600), 0);
  const auto job = JobFileError((dir.path() / "fifo.toml").string());
  ASSERT_TRUE(job.has_value());
  EXPECT_EQ(job->code, 12);
  EXPECT_TRUE(Has(job->detail, "is a FIFO")) << job->detail;
}

TEST(TomlBounds, NestingIsCountedAcrossArraysInlineTablesHeadersAndDottedKeys) {
  struct Case {
    const char* text;
    int depth;
    int line;
  };
  const Case cases[] = {
      {"a = 1\n", 0, 0},
      {"a = [1, 2]\n", 1, 1},
      {"a = [[1], [2, [3]]]\n", 3, 1},
      {"[x]\nb = { c = [1] }\n", 3, 2},         // table, inline table, array
      {"[x.y.z]\nb = 1\n", 3, 1},
      {"a.b.c = 1\n", 2, 1},
      {"s = \"[[[[\" # [[[[\nt = '{{{'\n", 0, 0},  // brackets in strings and comments
      {"m = \"\"\"\n[[[\n\"\"\"\nv = [1]\n", 1, 4},  // a multi-line string, then an array
      {"q = 1.5e3\nr = { a.b = 1, c = 2 }\n", 2, 2},  // a decimal point is no key
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const jobfile::TomlNesting n = jobfile::DeepestNesting(c.text);
    EXPECT_EQ(n.depth, c.depth);
    if (c.depth > 0) EXPECT_EQ(n.line, c.line);
  }
}

TEST(TomlBounds, ADeepOrHugeFileIsRefusedWithTheLimitInsteadOfCrashing) {
  TempDir dir;
  // 60 000 levels overflowed the parser's stack.
  const std::string deep = "title = \"x\"\na = " + std::string(60000, '[') + "\n";
  const auto error = JobFileError(dir.Write("deep.toml", deep));
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->code, 12);
  EXPECT_TRUE(Has(error->detail, "deep.toml line 2:")) << error->detail;
  EXPECT_TRUE(Has(error->detail, "nested more than 64 levels deep")) << error->detail;
  // A table header too deep already is named, not the deeper key below it.
  std::string header = "[t";
  for (int i = 0; i < 100; ++i) header += ".t";
  const auto headerError = JobFileError(dir.Write("header.toml", header + "]\nk.k.k = 1\n"));
  ASSERT_TRUE(headerError.has_value());
  EXPECT_TRUE(Has(headerError->detail, "header.toml line 1:")) << headerError->detail;
  // Exactly at the limit is still parsed (and then fails as an ordinary job).
  const std::string atLimit =
      "a = " + std::string(jobfile::kMaxTomlNesting, '[') +
      std::string(jobfile::kMaxTomlNesting, ']') + "\n";
  const auto ordinary = JobFileError(dir.Write("limit.toml", atLimit));
  ASSERT_TRUE(ordinary.has_value());
  EXPECT_FALSE(Has(ordinary->detail, "nested more than")) << ordinary->detail;

  std::string huge = "title = \"" + std::string(jobfile::kMaxTomlBytes, 'x') + "\"\n";
  const auto big = JobFileError(dir.Write("big.toml", huge));
  ASSERT_TRUE(big.has_value());
  EXPECT_TRUE(Has(big->detail, "a job file is read up to 4 MiB")) << big->detail;
}

}  // namespace
}  // namespace soilcal::testing

#include "run/input_digest.hpp"

#include <cstdint>
#include <cstdio>

#include "input/job_language.hpp"
#include "services/paths.hpp"
#include "services/regular_file.hpp"
#include "services/version.hpp"

namespace soilcal::run {
namespace {

// FNV-1a, 64 bits (Fowler, Noll and Vo); two offsets give two independent
// streams, 128 bits in all, so that an accidental match is out of reach.
class Digest {
 public:
  void Add(const std::string& bytes) {
    for (const char c : bytes) {
      a_ = (a_ ^ static_cast<unsigned char>(c)) * kPrime;
      b_ = (b_ ^ static_cast<unsigned char>(c)) * kPrime;
    }
    // The length closes each piece, so "ab"+"c" differs from "a"+"bc".
    const std::string length = "|" + std::to_string(bytes.size()) + "|";
    for (const char c : length) {
      a_ = (a_ ^ static_cast<unsigned char>(c)) * kPrime;
      b_ = (b_ ^ static_cast<unsigned char>(c)) * kPrime;
    }
  }

  void AddFile(const std::string& role, const std::string& path) {
    Add(role);  // not the name: the run and a later look spell paths differently
    std::string text;
    if (services::ReadRegularFile(services::ResolvePath(path), text)) {
      Add("present");
      Add(text);
    } else {
      Add("missing");
    }
  }

  std::string Hex() const {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%016llx%016llx", static_cast<unsigned long long>(a_),
                  static_cast<unsigned long long>(b_));
    return buffer;
  }

 private:
  static constexpr std::uint64_t kPrime = 0x100000001b3ULL;
  std::uint64_t a_ = 0xcbf29ce484222325ULL;
  std::uint64_t b_ = 0x84222325cbf29ce4ULL;
};

}  // namespace

std::string InputDigest(const input::Job& job) {
  Digest d;
  d.Add("soilcal");
  d.Add(kVersion);
  d.AddFile("optimisation", job.argument);
  for (const input::LabTest& test : job.tests) {
    d.AddFile("test", test.testFile);
    for (const std::string& curve : test.curveFiles) d.AddFile("curve", curve);
  }
  const std::string folder = job.projectFolder;
  d.AddFile("language", folder + input::kJobLanguageFile);
  for (const char* flag : {"do_opti", "thorough_search", "extended_models"}) {
    d.AddFile("flag", folder + flag);
  }
  return d.Hex();
}

}  // namespace soilcal::run

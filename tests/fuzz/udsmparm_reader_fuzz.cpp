// Fuzz target: the "udsmparm" file of the user-defined models, read in the
// current folder while a valid lab-test file of model 21 is read.
#include <unistd.h>

#include "fuzz_support.hpp"
#include "input/readers.hpp"
#include "input/records.hpp"

namespace {

// A version 6 lab-test file of user model 21 with one phase.
std::string UserModelTestFile() {
  std::string text = "user model\n6\n\nkN\nm\nday\n\n\n\n\nMaterial\n21\nusermod.dll\n";
  for (int i = 0; i < 7; ++i) text += "\n";
  for (int slot = 1; slot <= 200; ++slot) text += slot == 20 ? "0.4\n" : "1\n";
  text += "Test\n1\n0\n0.01\n1\n200\n0\n0\n0\n-100 -100 -100 0 0 0\n1\n10\n1\n";
  text += "0 -0.01 0 0 0 0\n0 0 0 0 0 0\n1 0 1 1 1 1\n";
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace soilcal;
  static const std::string testFile = [] {
    const std::string path = fuzz::ScratchFolder() + "USER.VLT";
    const std::string text = UserModelTestFile();
    fuzz::WriteBytes(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    // The reader looks for "udsmparm" in the current folder.
    if (::chdir(fuzz::ScratchFolder().c_str()) != 0) __builtin_trap();
    return path;
  }();
  fuzz::WriteBytes(fuzz::ScratchFolder() + "udsmparm", data, size);
  fuzz::Guarded([&] {
    input::LabTest current;
    input::LabTest record;
    record.testFile = testFile;
    input::ReadLabTestInput(record, current);
    // The test block after the material is still read in full.
    if (record.nPhases != 1 || record.material.baseModel != 21) __builtin_trap();
  });
  return 0;
}

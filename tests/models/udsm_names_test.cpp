// File-name rules of user-model libraries: the name record, the "64"
// insertion and the order of the folders a library is looked for in.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "models/udsm/names.hpp"
#include "test_support.hpp"

namespace soilcal::models::udsm {
namespace {

namespace fs = std::filesystem;

TEST(UserModelNames, SixtyFourGoesBeforeTheLastDllInAnyLetterCase) {
  // Names that already hold "64.dll" (any case) are used unchanged; without
  // ".dll" there is nothing to insert before.
  const std::pair<const char*, const char*> names[] = {
      {"usermod.dll", "usermod64.dll"}, {"UserMod.DLL", "UserMod64.DLL"},
      {"USERMOD.Dll", "USERMOD64.Dll"}, {"my.dll.dll", "my.dll64.dll"},
      {"usermod64.dll", "usermod64.dll"}, {"UserMod64.Dll", "UserMod64.Dll"},
      {"x64.DLL", "x64.DLL"}, {"usermod", "usermod"}};
  for (const auto& [given, loaded] : names) EXPECT_EQ(Insert64(given), loaded);
}

TEST(UserModelNames, RecordKeepsLengthAndSeparatesMessageAndLoadNames) {
  const NameRecord record = MakeNameRecord("ab\tc\x80.dll  ");
  EXPECT_EQ(static_cast<unsigned char>(record[0]), 11);
  // Messages blank out control characters and bytes from 128 up.
  EXPECT_EQ(MessageName(record), "ab c .dll  ");
  // Loading keeps codes 1..127 at their places, blanks the rest and drops
  // trailing blanks.
  EXPECT_EQ(LibraryName(record), "ab\tc .dll");
  // A name longer than 255 characters is cut to the record's capacity.
  const NameRecord longRecord = MakeNameRecord(std::string(300, 'x'));
  EXPECT_EQ(static_cast<unsigned char>(longRecord[0]), 255);
  EXPECT_EQ(LibraryName(longRecord).size(), 255u);
}

// A program folder "prog/" inside a temporary folder, with the sibling
// "udsm/" (the program's ..\udsm\) and the sub-folder "prog/udsm/".
struct Folders {
  testing::TempDir tmp;
  std::string program = (tmp.path() / "prog").string() + "/";
  fs::path above = tmp.path() / "udsm";
  fs::path beside = tmp.path() / "prog";
  fs::path below = tmp.path() / "prog" / "udsm";
  fs::path installed = tmp.path() / "lib";
  Folders() {
    fs::create_directories(above);
    fs::create_directories(installed);
    fs::create_directories(below);
  }
  static void Touch(const fs::path& p) { std::ofstream(p) << "x"; }
};

TEST(UserModelNames, UdsmFolderAboveTheProgramComesFirstThenTheProgramFolder) {
  Folders f;
  Folders::Touch(f.above / "libmodel64.so");
  Folders::Touch(f.beside / "libmodel64.so");
  Folders::Touch(f.below / "libmodel64.so");
  EXPECT_EQ(FindUserModelLibrary(f.program, "model64.dll"), f.program + "..\\udsm\\model64.dll");
  fs::remove(f.above / "libmodel64.so");
  EXPECT_EQ(FindUserModelLibrary(f.program, "model64.dll"), f.program + "model64.dll");
  fs::remove(f.beside / "libmodel64.so");
  EXPECT_EQ(FindUserModelLibrary(f.program, "model64.dll"), f.program + "udsm\\model64.dll");
  // An installed program (bin/ beside lib/) finds it in ../lib before udsm\.
  Folders::Touch(f.installed / "libmodel64.so");
  EXPECT_EQ(FindUserModelLibrary(f.program, "model64.dll"), f.program + "..\\lib\\model64.dll");
  fs::remove(f.installed / "libmodel64.so");
  // The last folder is taken without a test, even when nothing is there.
  fs::remove(f.below / "libmodel64.so");
  EXPECT_EQ(FindUserModelLibrary(f.program, "model64.dll"), f.program + "udsm\\model64.dll");
  // Letter case of the file does not matter, and X.so serves as well.
  Folders::Touch(f.beside / "MODEL64.so");
  EXPECT_EQ(FindUserModelLibrary(f.program, "Model64.Dll"), f.program + "Model64.Dll");
}

}  // namespace
}  // namespace soilcal::models::udsm

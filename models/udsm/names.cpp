#include "models/udsm/names.hpp"

#include <algorithm>

#include "services/paths.hpp"

namespace soilcal::models::udsm {

NameRecord MakeNameRecord(const std::string& name) {
  NameRecord record{};
  const std::size_t n = std::min<std::size_t>(name.size(), kNameRecordSize - 1);
  record[0] = static_cast<char>(static_cast<unsigned char>(n));
  std::copy_n(name.begin(), n, record.begin() + 1);
  return record;
}

namespace {
std::size_t RecordLength(const NameRecord& record) {
  return static_cast<unsigned char>(record[0]);
}
}  // namespace

std::string MessageName(const NameRecord& record) {
  std::string text(RecordLength(record), ' ');
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(record[i + 1]);
    text[i] = (c > ' ' && c < 128) ? static_cast<char>(c) : ' ';
  }
  return text;
}

std::string LibraryName(const NameRecord& record) {
  std::string text(RecordLength(record), ' ');
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(record[i + 1]);
    if (c >= 1 && c <= 127) text[i] = static_cast<char>(c);
  }
  return services::TrimRight(text);
}

std::string Insert64(const std::string& name) {
  const std::string upper = services::ToUpperCase(name);
  if (upper.find("64.DLL") != std::string::npos) return name;
  const std::size_t pos = upper.rfind(".DLL");
  if (pos == std::string::npos) return name;
  std::string out = name;
  out.insert(pos, "64");
  return out;
}

std::array<std::string, 3> LibraryFileNames(const std::string& bareName) {
  const std::string upper = services::ToUpperCase(bareName);
  const bool hasDll = upper.size() > 4 && upper.compare(upper.size() - 4, 4, ".DLL") == 0;
  const std::string stem = hasDll ? bareName.substr(0, bareName.size() - 4) : bareName;
  return {bareName, "lib" + stem + ".so", stem + ".so"};
}

std::string ResolveLibraryFile(const std::string& path) {
  const std::string folder = services::FolderOf(path);
  for (const std::string& file : LibraryFileNames(services::BareName(path))) {
    if (services::FileExists(folder + file)) return services::ResolvePath(folder + file);
  }
  return path;
}

bool LibraryFileExists(const std::string& path) {
  const std::string folder = services::FolderOf(path);
  for (const std::string& file : LibraryFileNames(services::BareName(path))) {
    if (services::FileExists(folder + file)) return true;
  }
  return false;
}

std::string FindUserModelLibrary(const std::string& programFolder, const std::string& name) {
  const std::string above = programFolder + "..\\udsm\\" + name;
  if (LibraryFileExists(above)) return above;
  const std::string beside = programFolder + name;
  if (LibraryFileExists(beside)) return beside;
  // An installed program keeps its libraries in ../lib beside bin/.
  const std::string installed = programFolder + "..\\lib\\" + name;
  if (LibraryFileExists(installed)) return installed;
  return programFolder + "udsm\\" + name;
}

}  // namespace soilcal::models::udsm

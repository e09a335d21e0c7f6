#include "labfiles/inspect_command.hpp"

#include <cstdio>
#include <string>
#include <string_view>

#include "labfiles/lab_file.hpp"
#include "labfiles/text.hpp"
#include "services/paths.hpp"

namespace soilcal::labfiles {
namespace {

constexpr int kUsage = 2;
constexpr int kUnreadable = 11;

int Usage(const std::string& text) {
  std::fprintf(stderr,
               "soilcal inspect: %s\nusage: soilcal inspect FILE [--stage N | --specimen "
               "LOCATION:DEPTH:REF] [--group G] [--csv]\n",
               text.c_str());
  return kUsage;
}

}  // namespace

bool IsInspectCommand(int argc, char** argv) {
  return argc >= 2 && argv[1] != nullptr && std::string_view(argv[1]) == "inspect";
}

int RunInspectCommand(int argc, char** argv) {
  std::string file;
  Selection sel;
  bool csv = false;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--csv") {
      csv = true;
    } else if (arg == "--stage" && hasValue) {
      const std::optional<double> n = ParseNumber(argv[++i]);
      if (!n || *n != static_cast<double>(static_cast<int>(*n))) {
        return Usage("--stage takes a stage number");
      }
      sel.stage = static_cast<int>(*n);
    } else if (arg == "--specimen" && hasValue) {
      sel.specimen = ParseSpecimenKey(argv[++i]);
      if (!sel.specimen) {
        return Usage("--specimen takes LOCATION:DEPTH:REF (depth in m; depth and ref may be left "
                     "empty)");
      }
    } else if (arg == "--group" && hasValue) {
      sel.group = argv[++i];
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage("unknown option " + std::string(arg));
    } else if (file.empty()) {
      file = arg;
    } else {
      return Usage("one file at a time");
    }
  }
  if (file.empty()) return Usage("name the file to inspect");
  if (!services::FileExists(file)) {
    std::fprintf(stderr, "soilcal inspect: %s not found\n", file.c_str());
    return kUnreadable;
  }
  try {
    const LabFile lab = ReadLabFile(file, file, sel, csv);
    const std::string text = csv ? CurvesCsv(*lab.test) : InspectText(lab);
    std::fwrite(text.data(), 1, text.size(), stdout);
  } catch (const LabFileError& e) {
    std::fprintf(stderr, "soilcal inspect: %s\n", e.what());
    return kUnreadable;
  }
  return 0;
}

}  // namespace soilcal::labfiles

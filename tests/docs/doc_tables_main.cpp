// soilcal_doc_tables SOURCE_FOLDER: renders the parameter tables of the
// manual's model pages (docs/models/*.md) again from the program's parameter
// table and rewrites the pages that changed. The test DocsParameterTables
// fails while a committed page differs from what this writes.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "docs/parameter_pages.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: soilcal_doc_tables SOURCE_FOLDER\n");
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(argv[1]) / "docs" / "models";
  std::error_code ec;
  int status = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    if (entry.path().extension() != ".md") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const soilcal::docs::PageUpdate update = soilcal::docs::RenderParameterTables(text.str());
    for (const std::string& problem : update.problems) {
      std::fprintf(stderr, "%s: %s\n", entry.path().c_str(), problem.c_str());
      status = 1;
    }
    if (update.text != text.str()) {
      std::ofstream(entry.path(), std::ios::binary) << update.text;
      std::printf("rewrote %s\n", entry.path().c_str());
    }
  }
  if (ec) {
    std::fprintf(stderr, "cannot read %s: %s\n", folder.c_str(), ec.message().c_str());
    return 1;
  }
  return status;
}

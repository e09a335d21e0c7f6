// Whether two paths name one file, for the rule that no output of any front
// end replaces an input. A file is known by its device and inode when it
// exists (so a link, "./x", "a/../x" and a symbolic link all meet), and by
// its folder's inode with its name ignoring ASCII case when it does not yet
// exist (the program's look-up ignores case, so "RESULT.TXT" and
// "result.txt" would become one file).
//
// FindOutputOntoInput checks every output against every input through two
// ordered sets of identities: O((n + m) log m) comparisons and two stat calls
// per file, so a job of ten thousand tests is checked in a blink. Every front
// end (a native run, a TOML job, the conversions, the comparison, batches)
// calls it before it writes its first byte.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace soilcal::services {

struct FileIdentity {
  bool folderFound = false;
  dev_t folderDevice = 0;
  ino_t folderInode = 0;
  std::string name;  // the bare name in lower case
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
};

// The identity of the program path `path` (resolved like every other path).
FileIdentity IdentityOf(const std::string& path);

// True when the two identities name one file.
bool SameIdentity(const FileIdentity& a, const FileIdentity& b);

// The first output (in the order given) that names one of the inputs, with
// the index of that input.
struct FileClash {
  std::size_t output = 0;
  std::size_t input = 0;
};
std::optional<FileClash> FindOutputOntoInput(const std::vector<std::string>& outputs,
                                             const std::vector<std::string>& inputs);

// The first two entries of `paths` that name one file, by index (first <
// second), for outputs that would replace each other.
std::optional<std::pair<std::size_t, std::size_t>> FindSameFileTwice(
    const std::vector<std::string>& paths);

}  // namespace soilcal::services

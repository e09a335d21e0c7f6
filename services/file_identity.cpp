#include "services/file_identity.hpp"

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <system_error>
#include <tuple>
#include <utility>

#include "services/paths.hpp"

namespace soilcal::services {
namespace {

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

using InodeKey = std::pair<dev_t, ino_t>;
using NameKey = std::tuple<dev_t, ino_t, std::string>;

// Both look-ups of a set of identities: by the file itself and by folder and
// name. The first entry of each key wins, so clashes name the earliest file.
struct IdentitySet {
  std::map<InodeKey, std::size_t> byInode;
  std::map<NameKey, std::size_t> byName;

  void Add(const FileIdentity& id, std::size_t index) {
    if (id.exists) byInode.emplace(InodeKey{id.device, id.inode}, index);
    if (id.folderFound && !id.name.empty()) {
      byName.emplace(NameKey{id.folderDevice, id.folderInode, id.name}, index);
    }
  }

  std::optional<std::size_t> Find(const FileIdentity& id) const {
    std::optional<std::size_t> found;
    if (id.exists) {
      const auto it = byInode.find(InodeKey{id.device, id.inode});
      if (it != byInode.end()) found = it->second;
    }
    if (id.folderFound && !id.name.empty()) {
      const auto it = byName.find(NameKey{id.folderDevice, id.folderInode, id.name});
      if (it != byName.end() && (!found || it->second < *found)) found = it->second;
    }
    return found;
  }
};

// Identities of many paths. A job's files mostly share one or two folders:
// each folder is resolved and looked at once, and its entries are listed
// once when a name is not found exactly (the case-insensitive look-up), so
// a file costs one stat call.
class IdentityCache {
 public:
  FileIdentity Of(const std::string& path) {
    const std::string name = BareName(path);
    if (name.empty() || name == "." || name == ".." || AsciiLower(name) == "nul") {
      return Single(ResolvePath(path));
    }
    Folder& folder = FolderNamed(FolderOf(path));
    FileIdentity id;
    id.folderFound = folder.found;
    id.folderDevice = folder.device;
    id.folderInode = folder.inode;
    id.name = AsciiLower(name);
    struct stat st {};
    std::string file = folder.prefix + name;
    if (::lstat(file.c_str(), &st) != 0) {
      // The exact name first, then the smallest name equal ignoring case.
      const auto match = folder.Listing().find(id.name);
      if (match == folder.Listing().end()) return id;
      file = folder.prefix + match->second;
      id.name = AsciiLower(match->second);
    }
    if (::stat(file.c_str(), &st) == 0) {
      id.exists = true;
      id.device = st.st_dev;
      id.inode = st.st_ino;
    }
    return id;
  }

 private:
  struct Folder {
    std::string prefix;  // the resolved folder with its '/' ("" = current)
    bool found = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool listed = false;
    std::map<std::string, std::string> entries;  // lower case -> smallest name

    const std::map<std::string, std::string>& Listing() {
      if (listed) return entries;
      listed = true;
      std::error_code ec;
      const std::filesystem::path at(prefix.empty() ? "." : prefix);
      for (std::filesystem::directory_iterator it(at, ec), end; !ec && it != end;
           it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        auto [slot, fresh] = entries.try_emplace(AsciiLower(entry), entry);
        if (!fresh && entry < slot->second) slot->second = entry;
      }
      return entries;
    }
  };

  Folder& FolderNamed(const std::string& programFolder) {
    auto [it, fresh] = folders_.try_emplace(programFolder);
    if (!fresh) return it->second;
    Folder& folder = it->second;
    if (!programFolder.empty()) {
      folder.prefix = ResolvePath(programFolder);
      if (!folder.prefix.empty() && folder.prefix.back() != '/') folder.prefix += '/';
    }
    struct stat st {};
    if (::stat(folder.prefix.empty() ? "." : folder.prefix.c_str(), &st) == 0) {
      folder.found = true;
      folder.device = st.st_dev;
      folder.inode = st.st_ino;
    }
    return folder;
  }

  static FileIdentity Single(const std::string& resolved) {
    FileIdentity id;
    const std::string folder = FolderOf(resolved);
    struct stat st {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &st) == 0) {
      id.folderFound = true;
      id.folderDevice = st.st_dev;
      id.folderInode = st.st_ino;
    }
    id.name = AsciiLower(BareName(resolved));
    if (::stat(resolved.c_str(), &st) == 0) {
      id.exists = true;
      id.device = st.st_dev;
      id.inode = st.st_ino;
    }
    return id;
  }

  std::map<std::string, Folder> folders_;
};

}  // namespace

FileIdentity IdentityOf(const std::string& path) { return IdentityCache().Of(path); }

bool SameIdentity(const FileIdentity& a, const FileIdentity& b) {
  if (a.exists && b.exists && a.device == b.device && a.inode == b.inode) return true;
  return a.folderFound && b.folderFound && a.folderDevice == b.folderDevice &&
         a.folderInode == b.folderInode && !a.name.empty() && a.name == b.name;
}

std::optional<FileClash> FindOutputOntoInput(const std::vector<std::string>& outputs,
                                             const std::vector<std::string>& inputs) {
  IdentityCache cache;
  IdentitySet known;
  for (std::size_t i = 0; i < inputs.size(); ++i) known.Add(cache.Of(inputs[i]), i);
  for (std::size_t o = 0; o < outputs.size(); ++o) {
    if (const auto input = known.Find(cache.Of(outputs[o]))) return FileClash{o, *input};
  }
  return std::nullopt;
}

std::optional<std::pair<std::size_t, std::size_t>> FindSameFileTwice(
    const std::vector<std::string>& paths) {
  IdentityCache cache;
  IdentitySet seen;
  for (std::size_t b = 0; b < paths.size(); ++b) {
    const FileIdentity id = cache.Of(paths[b]);
    if (const auto a = seen.Find(id)) return std::pair{*a, b};
    seen.Add(id, b);
  }
  return std::nullopt;
}

}  // namespace soilcal::services

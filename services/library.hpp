// Dynamic libraries by their program names: "X.dll" (any case) is looked for
// as X.dll, libX.so and X.so, first beside the program, then in ../lib
// relative to it (an installed program), then on the normal search path. The handle is closed when the object goes away.
#pragma once

#include <string>

namespace soilcal::services {

class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary();
  SharedLibrary(SharedLibrary&& other) noexcept;
  SharedLibrary& operator=(SharedLibrary&& other) noexcept;
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads by program name from the program's folder, ../lib, then the search path.
  bool LoadByName(const std::string& dllName);
  // Loads exactly this path (with the .so variants of its name in its folder).
  bool LoadPath(const std::string& path);
  bool loaded() const { return handle_ != nullptr; }
  void* Symbol(const char* name) const;
  // dlerror() text of the last failure.
  const std::string& error() const { return error_; }
  const std::string& path() const { return path_; }
  void* handle() const { return handle_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
  std::string path_;
};

// Candidate file names for a program library name: X.dll, libX.so, X.so.
std::string LibraryCandidates(const std::string& dllName, int which);

}  // namespace soilcal::services

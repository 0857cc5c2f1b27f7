#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace postique::testing {

// The separator of the paths the program builds on this platform.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// A path from a UTF-8 text, whatever the platform's narrow encoding.
std::filesystem::path Native(const std::string& utf8);
// folder, the separator, name.
std::string Join(const std::string& folder, const std::string& name);

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return Join(path_, name); }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// The names in a folder, sorted.
std::vector<std::string> List(const std::string& folder);

}  // namespace postique::testing

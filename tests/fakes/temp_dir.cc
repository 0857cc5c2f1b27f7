#include "fakes/temp_dir.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace postique::testing {

std::filesystem::path Native(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder + kSeparator + name;
}

namespace {

std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

TempDir::TempDir() {
  static std::mt19937_64 random{std::random_device{}()};
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = base / ("postique-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = Utf8Of(candidate);
      return;
    }
  }
  throw std::runtime_error("no fresh folder in " + Utf8Of(base));
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(Native(path_), ignored);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(Native(path), std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(Native(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream data;
  data << in.rdbuf();
  return data.str();
}

bool Exists(const std::string& path) {
  return std::filesystem::exists(Native(path));
}

std::vector<std::string> List(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(Native(folder))) {
    names.push_back(Utf8Of(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace postique::testing

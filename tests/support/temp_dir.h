// A fresh, uniquely named folder under the system's temporary folder, on
// every platform (mkdtemp does not exist under Windows).
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace zarn_test {

inline std::filesystem::path MakeTempDir(const std::string& prefix) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path dir = base / (prefix + std::to_string(random() % 1000000000));
    std::error_code error;
    if (std::filesystem::create_directory(dir, error)) return dir;
  }
  throw std::filesystem::filesystem_error("cannot make a temporary folder", base,
                                          std::make_error_code(std::errc::file_exists));
}

}  // namespace zarn_test

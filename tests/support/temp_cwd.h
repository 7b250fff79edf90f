// Runs a test inside a fresh temporary directory as the current directory,
// restoring the previous one and removing the directory afterwards. The
// module's trace log path is relative to the current directory.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace zarn_test {

class TempCwd {
 public:
  // With `with_log_folder`, Plug-ins/zarn_plus/ exists so the trace log opens.
  explicit TempCwd(bool with_log_folder = true) : previous_(std::filesystem::current_path()) {
    dir_ = MakeTempDir("zarn-cwd-");
    if (with_log_folder) std::filesystem::create_directories(dir_ / "Plug-ins" / "zarn_plus");
    std::filesystem::current_path(dir_);
  }
  TempCwd(const TempCwd&) = delete;
  TempCwd& operator=(const TempCwd&) = delete;
  ~TempCwd() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }

  const std::filesystem::path& dir() const { return dir_; }
  std::filesystem::path LogPath() const {
    return dir_ / "Plug-ins" / "zarn_plus" / "zarn_importer_dialog.txt";
  }

 private:
  std::filesystem::path previous_;
  std::filesystem::path dir_;
};

}  // namespace zarn_test

// Sets an environment variable for a scope and puts the old value back. The
// module reads its settings when it registers, so set them before the
// session that loads it.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace zarn_test {

class EnvSetting {
 public:
  EnvSetting(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    Set(value.c_str());
  }
  EnvSetting(const EnvSetting&) = delete;
  EnvSetting& operator=(const EnvSetting&) = delete;
  ~EnvSetting() { Set(old_ ? old_->c_str() : nullptr); }

 private:
  void Set(const char* value) {
#ifdef _WIN32
    _putenv_s(name_.c_str(), value != nullptr ? value : "");
#else
    if (value != nullptr) {
      setenv(name_.c_str(), value, 1);
    } else {
      unsetenv(name_.c_str());
    }
#endif
  }

  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace zarn_test

// Where the tests find the built module and the generated media.
#pragma once

#include <string>

namespace zarn_test {

inline std::string ModulePath() { return ZARN_MODULE_PATH; }
inline std::string MediaDir() { return ZARN_MEDIA_DIR; }
inline std::string MediaPath(const std::string& name) {
  // Appended in place: GCC 12 at -O1 misreads `MediaDir() + "/" + name` as
  // an out-of-bounds copy (-Warray-bounds).
  std::string path = MediaDir();
  path += '/';
  path += name;
  return path;
}
inline std::string SourceDir() { return ZARN_SOURCE_DIR; }
inline std::string ToolPath() { return ZARN_TOOL_PATH; }

}  // namespace zarn_test

// Build-time tool: writes the PiPL resource script to the path given.
#include <cstdio>

#include "shell/pipl_rc.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.rc\n", argv[0]);
    return 2;
  }
  const std::string script = pipl::ResourceScript();
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(script.data(), 1, script.size(), out) == script.size();
  if (std::fclose(out) != 0 || !written) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}

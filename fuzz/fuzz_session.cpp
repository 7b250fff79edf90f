#include "fuzz/fuzz_session.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

extern "C" {
#include <libavutil/log.h>
}

namespace zarn_fuzz {
namespace {

struct Session {
  std::string dir;
  standin::Host host;
  std::unique_ptr<standin::Module> module;
  size_t problems_seen = 0;
};

std::string* g_dir = nullptr;  // for the exit handler

void RemoveTempDir() {
  std::error_code ignored;
  if (g_dir != nullptr) std::filesystem::remove_all(*g_dir, ignored);
}

// Never destroyed: the host must outlive every exit-time check libFuzzer runs.
Session* MakeSession() {
  // FFmpeg's messages about broken input would drown libFuzzer's output.
  av_log_set_level(AV_LOG_QUIET);
  auto* session = new Session;
  std::string pattern = (std::filesystem::temp_directory_path() / "zarn-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) Require(false, "mkdtemp");
  session->dir = pattern;
  g_dir = &session->dir;
  std::atexit(RemoveTempDir);
  // The trace log opens on /dev/null: its formatting runs on every call
  // without a file that grows for hours.
  std::filesystem::create_directories(session->dir + "/Plug-ins/zarn_plus");
  std::filesystem::create_symlink("/dev/null",
                                  session->dir + "/Plug-ins/zarn_plus/zarn_importer_dialog.txt");
  std::filesystem::current_path(session->dir);
  std::string error;
  session->module = standin::Module::Load(ZARN_FUZZ_MODULE_PATH, &error);
  if (session->module == nullptr) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::abort();
  }
  Require(session->host.Register(*session->module) == A_Err_NONE, "registration failed");
  Require(session->host.registration().io_registered, "no input module registered");
  // The call log would grow with every input for hours; the targets check
  // the host's state, not its history.
  session->host.KeepCallLog(false);
  return session;
}

Session& TheSession() {
  static Session* session = MakeSession();
  return *session;
}

}  // namespace

standin::Host& SessionHost() { return TheSession().host; }

const std::string& TempDir() { return TheSession().dir; }

std::string WriteFile(const std::string& name, const uint8_t* data, size_t size) {
  const std::string path = TempDir() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  Require(static_cast<bool>(out), "cannot write the input file");
  return path;
}

void Require(bool ok, const char* what, long long value) {
  if (ok) return;
  std::fprintf(stderr, "zarn fuzz: %s (%lld)\n", what, value);
  std::abort();
}

void RequireClean(standin::Host& host, bool expect_no_plugin_handles) {
  Session& session = TheSession();
  const auto& problems = host.problems();
  if (problems.size() > session.problems_seen) {
    for (size_t i = session.problems_seen; i < problems.size(); ++i) {
      std::fprintf(stderr, "zarn fuzz: host problem: %s\n", problems[i].c_str());
    }
    std::abort();
  }
  Require(host.LockedHandleCount() == 0, "a handle is still locked",
          static_cast<long long>(host.LockedHandleCount()));
  Require(host.OutstandingSuites() == 0, "suites not released", host.OutstandingSuites());
  if (expect_no_plugin_handles) {
    const auto live = host.LiveHandleNames();
    for (const auto& name : live) std::fprintf(stderr, "zarn fuzz: live handle %s\n", name.c_str());
    Require(live.empty(), "the plug-in leaked a handle", static_cast<long long>(live.size()));
  }
}

}  // namespace zarn_fuzz

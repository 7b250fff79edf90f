// Shared by the footage tests: a registered module in a fresh stand-in host,
// host faults described as table data.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "host/standin_host.h"
#include "support/paths.h"

// One fault the host injects for the next callback.
struct Fault {
  enum class Kind { Fail, NullHandle, NullLock, Missing, NullTable, NoBasicSuite };
  Kind kind;
  standin::Op op = standin::Op::AcquireSuite;
  int n = 1;
  const char* suite = "";
  int32_t version = 0;

  static constexpr A_Err kErr = 77;
  static Fault Fail(standin::Op op, int n = 1) { return {Kind::Fail, op, n}; }
  static Fault NullHandle(int n) { return {Kind::NullHandle, standin::Op::NewMemHandle, n}; }
  static Fault NullLock(int n) { return {Kind::NullLock, standin::Op::LockMemHandle, n}; }
  static Fault Missing(const char* suite, int32_t version) {
    return {Kind::Missing, standin::Op::AcquireSuite, 1, suite, version};
  }
  static Fault NullTable(const char* suite, int32_t version) {
    return {Kind::NullTable, standin::Op::AcquireSuite, 1, suite, version};
  }
  static Fault NoBasicSuite() { return {Kind::NoBasicSuite}; }
};

// A gtest-safe name for a clip ("h264_aac.mkv" -> "h264_aac_mkv").
inline std::string TestName(std::string clip) {
  for (char& c : clip) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return clip;
}

// Loop counts for the leak cycles; ZARN_FOOTAGE_CYCLES overrides (e.g. 1000
// in a sanitizer tree).
inline int CycleCount(int normal) {
  const char* text = std::getenv("ZARN_FOOTAGE_CYCLES");
  return text != nullptr ? std::atoi(text) : normal;
}

class FootageSession : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    module = standin::Module::Load(zarn_test::ModulePath(), &error);
    ASSERT_NE(module, nullptr) << error;
    ASSERT_EQ(host.Register(*module), A_Err_NONE);
    strcpy_calls_at_start = host.CountOf(standin::Op::AnsiStrcpy);
    host.ClearCalls();
  }

  // The host operations called since the last ClearCalls, without the suite
  // traffic around them.
  std::vector<standin::Op> HostOps() const {
    std::vector<standin::Op> ops;
    for (const standin::Call& call : host.calls()) {
      if (call.op != standin::Op::AcquireSuite && call.op != standin::Op::ReleaseSuite) {
        ops.push_back(call.op);
      }
    }
    return ops;
  }

  const standin::Call& FirstCall(standin::Op op) const {
    for (const standin::Call& call : host.calls()) {
      if (call.op == op) return call;
    }
    static const standin::Call none{op, "(not called)", -1};
    return none;
  }

  int OutstandingSuites() const { return host.OutstandingSuites(); }

  // No plug-in handle left, nothing locked, no suite held, no complaint.
  ::testing::AssertionResult HostClean() const {
    if (!host.LiveHandleNames().empty()) {
      return ::testing::AssertionFailure() << "leaked handle " << host.LiveHandleNames().front();
    }
    if (host.LockedHandleCount() != 0) {
      return ::testing::AssertionFailure() << host.LockedHandleCount() << " handles locked";
    }
    if (host.OutstandingSuites() != 0) {
      return ::testing::AssertionFailure() << host.OutstandingSuites() << " suites held";
    }
    if (!host.problems().empty()) {
      return ::testing::AssertionFailure() << "host problem: " << host.problems().front();
    }
    return ::testing::AssertionSuccess();
  }

  // Runs one callback with `fault` armed; `call` gets the basic data to pass.
  template <typename Call>
  A_Err WithFault(const Fault& fault, Call call) {
    bool without_suite = false;
    switch (fault.kind) {
      case Fault::Kind::Fail:
        host.FailNthCall(fault.op, fault.n, Fault::kErr);
        break;
      case Fault::Kind::NullHandle:
        host.NullNthNewHandle(fault.n);
        break;
      case Fault::Kind::NullLock:
        host.NullNthLock(fault.n);
        break;
      case Fault::Kind::Missing:
        host.MissSuite(fault.suite, fault.version);
        break;
      case Fault::Kind::NullTable:
        host.NullSuite(fault.suite, fault.version);
        break;
      case Fault::Kind::NoBasicSuite:
        without_suite = true;
        break;
    }
    const A_Err result = call(host.BasicData(without_suite));
    host.ClearFaults();
    return result;
  }

  A_Err ImportWithFault(AEIO_InSpecH spec, const std::string& path, const Fault& fault) {
    const std::vector<A_UTF16Char> path16 = standin::ToUtf16(path);
    return WithFault(fault, [&](AEIO_BasicData* basic) {
      return host.callbacks().AEIO_InitInSpecFromFile(basic, path16.data(), spec);
    });
  }
  A_Err DisposeWithFault(AEIO_InSpecH spec, const Fault& fault) {
    return WithFault(fault, [&](AEIO_BasicData* basic) {
      return host.callbacks().AEIO_DisposeInSpec(basic, spec);
    });
  }
  A_Err FlattenWithFault(AEIO_InSpecH spec, AEIO_Handle* flat, const Fault& fault) {
    return WithFault(fault, [&](AEIO_BasicData* basic) {
      return host.callbacks().AEIO_FlattenOptions(basic, spec, flat);
    });
  }
  A_Err InflateWithFault(AEIO_InSpecH spec, AEIO_Handle flat, const Fault& fault) {
    return WithFault(fault, [&](AEIO_BasicData* basic) {
      return host.callbacks().AEIO_InflateOptions(basic, spec, flat);
    });
  }

  // Undoes a lock the host had refused to release, as a host would after
  // reporting its own failure.
  void UnlockAsHost(AEGP_MemHandle handle) {
    const void* table = nullptr;
    const SPBasicSuite* basic = host.BasicSuite();
    ASSERT_EQ(basic->AcquireSuite(kAEGPMemorySuite, kAEGPMemorySuiteVersion, &table), 0);
    static_cast<const AEGP_MemorySuite1*>(table)->AEGP_UnlockMemHandle(handle);
    basic->ReleaseSuite(kAEGPMemorySuite, kAEGPMemorySuiteVersion);
  }

  standin::Host host;
  std::unique_ptr<standin::Module> module;
  int strcpy_calls_at_start = 0;
};

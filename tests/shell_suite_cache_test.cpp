// The suite cache over the stand-in host's basic suite: one acquisition per
// suite per call, the fixed release order, and 516 for a missing suite.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "host/standin_host.h"
#include "host_abi/suite_cache.h"

namespace {

using standin::Host;
using standin::Op;

struct Suite {
  const char* text;  // as the host logs it
  std::function<const void*(SuiteCache&)> get;
};

// In the order the cache must release them.
const std::array<Suite, 6>& Suites() {
  static const std::array<Suite, 6> suites = {{
      {"AEGP Register Suite 6", [](SuiteCache& c) -> const void* { return c.RegisterSuite(); }},
      {"AEGP Memory Suite 1", [](SuiteCache& c) -> const void* { return c.MemorySuite(); }},
      {"AEGP Utility Suite 7", [](SuiteCache& c) -> const void* { return c.UtilitySuite(); }},
      {"PF ANSI Suite 1", [](SuiteCache& c) -> const void* { return c.ANSISuite(); }},
      {"PF Fill Matte Suite 2", [](SuiteCache& c) -> const void* { return c.FillMatteSuite(); }},
      {"AEGP IO In Suite 5", [](SuiteCache& c) -> const void* { return c.IOInSuite(); }},
  }};
  return suites;
}

std::vector<std::string> TextsOf(const Host& host, Op op) {
  std::vector<std::string> texts;
  for (const standin::Call& call : host.calls()) {
    if (call.op == op) texts.push_back(call.text);
  }
  return texts;
}

TEST(SuiteCache, NothingRequestedNothingReleased) {
  Host host;
  { SuiteCache cache(host.BasicSuite()); }
  EXPECT_TRUE(host.calls().empty());
}

TEST(SuiteCache, ReleasesInFixedOrderWhateverTheOrderOfUse) {
  Host host;
  std::array<int, 6> order = {0, 1, 2, 3, 4, 5};
  int permutations = 0;
  do {
    host.ClearCalls();
    {
      SuiteCache cache(host.BasicSuite());
      for (int index : order) {
        const void* first = Suites()[index].get(cache);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(Suites()[index].get(cache), first) << "same table on a later request";
      }
      std::vector<std::string> acquired;
      for (int index : order) acquired.push_back(Suites()[index].text);
      ASSERT_EQ(TextsOf(host, Op::AcquireSuite), acquired);
      ASSERT_TRUE(TextsOf(host, Op::ReleaseSuite).empty()) << "released before the scope ended";
    }
    std::vector<std::string> released;
    for (const Suite& suite : Suites()) released.push_back(suite.text);
    ASSERT_EQ(TextsOf(host, Op::ReleaseSuite), released);
    ++permutations;
  } while (std::next_permutation(order.begin(), order.end()));
  EXPECT_EQ(permutations, 720);
  EXPECT_EQ(host.OutstandingSuites(), 0);
  EXPECT_TRUE(host.problems().empty());
}

TEST(SuiteCache, NullBasicSuiteIs516) {
  try {
    SuiteCache cache(nullptr);
    FAIL() << "no exception";
  } catch (const SuiteMissing& missing) {
    EXPECT_EQ(missing.err, 516);
  }
}

enum class Fault { kMissing, kNullTable, kHostError };

TEST(SuiteCache, UnavailableSuiteIs516AfterReleasingTheOthers) {
  for (Fault fault : {Fault::kMissing, Fault::kNullTable, Fault::kHostError}) {
    SCOPED_TRACE(static_cast<int>(fault));
    Host host;
    if (fault == Fault::kMissing) host.MissSuite("AEGP IO In Suite", 5);
    if (fault == Fault::kNullTable) host.NullSuite("AEGP IO In Suite", 5);
    if (fault == Fault::kHostError) host.FailNthCall(Op::AcquireSuite, 3, 1);
    A_Err err = 0;
    {
      SuiteCache cache(host.BasicSuite());
      cache.FillMatteSuite();
      cache.RegisterSuite();
      try {
        cache.IOInSuite();
        ADD_FAILURE() << "no exception";
      } catch (const SuiteMissing& missing) {
        err = missing.err;
      }
      if (fault != Fault::kHostError) {
        // The pointer stayed null: asking again asks the host again.
        EXPECT_THROW(cache.IOInSuite(), SuiteMissing);
      }
    }
    EXPECT_EQ(err, 516);
    EXPECT_EQ(TextsOf(host, Op::ReleaseSuite),
              (std::vector<std::string>{"AEGP Register Suite 6", "PF Fill Matte Suite 2"}));
    EXPECT_EQ(host.OutstandingSuites(), 0);
    EXPECT_TRUE(host.problems().empty());
  }
}

}  // namespace

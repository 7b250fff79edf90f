// One plug-in session for a test: a stand-in host with the built module
// loaded and registered, helpers to import generated media, and a final
// check that the plug-in left nothing behind.
//
//   PluginSession session;
//   ASSERT_TRUE(session.ready()) << session.error;
//   AEIO_InSpecH spec = session.Import("clip.mkv", &err);
//   ...
//   EXPECT_EQ(session.Close(spec), A_Err_NONE);
//   EXPECT_TRUE(session.Clean());
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "footage/footage_options.h"
#include "host/standin_host.h"

namespace zarn_test {

struct PluginSession {
  standin::Host host;
  std::unique_ptr<standin::Module> module;
  A_Err register_result = A_Err_NONE;
  std::string error;  // why the session is not ready; empty when it is

  // Loads ModulePath() and registers it; records failure instead of asserting.
  PluginSession();

  bool ready() const { return error.empty(); }

  // Imports a generated media file (MediaPath(name)) or any path.
  AEIO_InSpecH Import(const std::string& media_name, A_Err* result = nullptr);
  AEIO_InSpecH ImportPath(const std::string& path, A_Err* result = nullptr);

  // Disposes the footage item and deletes its in-spec, as the host does when
  // the item leaves the project.
  A_Err Close(AEIO_InSpecH spec);

  // The footage record behind the item's options handle (null if none).
  FootageOptions* Record(AEIO_InSpecH spec) const;

  // No live handle made by the plug-in (a flattened block handed to the host
  // counts until the test frees it, as the host would), no locked handle, no
  // suite outstanding, no problem reported.
  ::testing::AssertionResult Clean() const;
};

}  // namespace zarn_test

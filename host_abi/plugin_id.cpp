#include "host_abi/plugin_id.h"

#include <atomic>

namespace {
// Written once at registration, read by callbacks on any thread afterwards.
std::atomic<AEGP_PluginID> g_registered_id{0};
}  // namespace

AEGP_PluginID RegisteredPluginId() { return g_registered_id.load(std::memory_order_acquire); }

void SetRegisteredPluginId(AEGP_PluginID id) {
  g_registered_id.store(id, std::memory_order_release);
}

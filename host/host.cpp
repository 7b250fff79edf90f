// The Host object: which host is current, its problems and basic data.
#include <algorithm>
#include <cstdio>
#include <mutex>

#include "host/host_state.h"

namespace standin {
namespace {

// Hosts alive, oldest first: the suites reach the newest one.
std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}
std::vector<Host*>& LiveHosts() {
  static std::vector<Host*> hosts;
  return hosts;
}

}  // namespace

Host::Host() : state_(std::make_unique<State>(this)) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  LiveHosts().push_back(this);
}

Host::~Host() {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  auto& hosts = LiveHosts();
  hosts.erase(std::remove(hosts.begin(), hosts.end(), this), hosts.end());
}

Host* Host::Current() {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  const auto& hosts = LiveHosts();
  return hosts.empty() ? nullptr : hosts.back();
}

AEIO_BasicData* Host::BasicData(bool without_suite) {
  AEIO_BasicData& data = without_suite ? basic_data_without_suite_ : basic_data_;
  // Checked on every call: a plug-in that scribbled on the last one must
  // not change what the next callback sees. Rewritten only where it
  // differs, since calls on other threads read it meanwhile.
  std::lock_guard<std::mutex> lock(state_->mutex);
  const AEIO_BasicData fresh = state_->MakeBasicData(without_suite);
  if (data.msg_func != fresh.msg_func || data.pica_basicP != fresh.pica_basicP ||
      data.aegp_plug_id != fresh.aegp_plug_id || data.aegp_refconPV != fresh.aegp_refconPV) {
    data = fresh;
  }
  return &data;
}

AEIO_BasicData Host::State::MakeBasicData(bool without_suite) const {
  AEIO_BasicData data{};
  data.msg_func = &MessageFunc;
  data.pica_basicP = without_suite ? nullptr : host->BasicSuite();
  data.aegp_plug_id = entry_id;
  data.aegp_refconPV = io_refcon;
  return data;
}

void Host::AddProblem(std::string problem) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->Problem(std::move(problem));
}

void Host::State::Problem(std::string text) { host->problems_.push_back(std::move(text)); }

void MessageFunc(A_Err err, const char* msg) {
  Host* host = Host::Current();
  if (host == nullptr) return;
  // The plug-in has no reason to report through the host; a call means
  // something went wrong that it could not return as a result.
  host->AddProblem("msg_func " + std::to_string(err) + ": " + (msg ? msg : "(null)"));
}

}  // namespace standin

// Faults injected on request: missing or null suites, the n-th call of an
// operation failing or answering a null result.
#include <algorithm>
#include <stdexcept>

#include "host/host_state.h"

namespace standin {

std::optional<Fault> Host::State::Enter(Op op) {
  const int count = ++counts.at(static_cast<size_t>(op));
  auto it = std::find_if(faults.begin(), faults.end(),
                         [&](const Fault& f) { return f.op == op && f.at == count; });
  if (it == faults.end()) return std::nullopt;
  Fault fired = *it;
  faults.erase(it);
  return fired;
}

void Host::MissSuite(const std::string& name, int32_t version) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->missing.insert({name, version});
}

void Host::NullSuite(const std::string& name, int32_t version) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->nulled.insert({name, version});
}

namespace {

void Plan(Host::State& state, Op op, int n, Fault::Kind kind, A_Err err) {
  if (n < 1) throw std::invalid_argument("a fault's call number counts from 1");
  state.faults.push_back(Fault{op, state.counts.at(static_cast<size_t>(op)) + n, kind, err});
}

}  // namespace

void Host::FailNthCall(Op op, int n, A_Err err) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  Plan(*state_, op, n, Fault::Kind::Fail, err);
}

void Host::NullNthNewHandle(int n) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  Plan(*state_, Op::NewMemHandle, n, Fault::Kind::Null, A_Err_NONE);
}

void Host::NullNthLock(int n) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  Plan(*state_, Op::LockMemHandle, n, Fault::Kind::Null, A_Err_NONE);
}

void Host::ClearFaults() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->faults.clear();
  state_->missing.clear();
  state_->nulled.clear();
}

}  // namespace standin

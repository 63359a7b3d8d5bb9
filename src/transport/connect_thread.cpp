#include "transport/connect_thread.h"

#include <exception>

#include "transport/net_stack.h"
#include "transport/socket_handle.h"

namespace meridian::net {

TNetConnectThread::TNetConnectThread(TNetSocketHandle& binding) : binding_(binding) {}

TNetConnectThread::~TNetConnectThread() { Join(); }

void TNetConnectThread::Start() { thread_ = std::thread([this] { Execute(); }); }

void TNetConnectThread::Execute() {
  std::exception_ptr failure;
  try {
    // A socket closed under the connect gives a bad-handle code: that is the
    // caller ending the attempt, not a failure to report.
    GStack->CheckForSocketError(binding_.Connect(binding_.Family()), {kWSAEBADF, kWSAENOTSOCK});
  } catch (...) {
    failure = std::current_exception();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  failure_ = std::move(failure);
  terminated_ = true;
  ended_.notify_all();
}

bool TNetConnectThread::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return ended_.wait_for(lock, timeout, [this] { return terminated_; });
}

void TNetConnectThread::Join() {
  if (thread_.joinable()) thread_.join();
}

bool TNetConnectThread::Terminated() {
  std::lock_guard<std::mutex> lock(mutex_);
  return terminated_;
}

std::exception_ptr TNetConnectThread::Failure() {
  std::lock_guard<std::mutex> lock(mutex_);
  return failure_;
}

}  // namespace meridian::net

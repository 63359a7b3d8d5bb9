// The short-lived thread that runs one blocking connect so that its caller can
// enforce a time-out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace meridian::net {

class TNetSocketHandle;

// Created suspended; Start runs one Connect of the socket handle. A failure
// (other than the bad-handle codes a closed socket gives) is kept whole, so
// that the caller can raise it with its class and code; the thread then
// marks itself terminated and ends. The destructor
// waits for the thread, so none outlives its object.
// The handle must outlive the thread object.
class TNetConnectThread {
 public:
  explicit TNetConnectThread(TNetSocketHandle& binding);
  ~TNetConnectThread();
  TNetConnectThread(const TNetConnectThread&) = delete;
  TNetConnectThread& operator=(const TNetConnectThread&) = delete;

  // Throws std::system_error when no thread can be started.
  void Start();
  // Waits until the thread has ended or `timeout` has passed; true when ended.
  bool WaitFor(std::chrono::milliseconds timeout);
  // Waits for the thread to end.
  void Join();
  // The connect attempt has ended (successfully or not).
  bool Terminated();
  // The failure that ended the connect; null on success.
  std::exception_ptr Failure();

 private:
  void Execute();

  TNetSocketHandle& binding_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool terminated_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace meridian::net

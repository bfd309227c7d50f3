// Apart from the runner, so that a service that never pauses links no timed
// wait.
#include <chrono>

#include "platform/service_runner.h"

namespace nubora {

StopRequest ServiceRunner::Pause(unsigned long milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                    [this] { return request_ != StopRequest::kNone; });
  return request_;
}

}  // namespace nubora

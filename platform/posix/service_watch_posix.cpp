// Linux has no Windows service manager: no service is installed there.
#include "platform/services.h"

namespace nubora {
namespace {

class NoServiceWatch : public ServiceWatch {
 public:
  unsigned long Query(const wchar_t*, ServiceSnapshot& snapshot) override {
    snapshot = ServiceSnapshot{};
    return 0;
  }
  bool WrittenSinceBoot(const std::wstring&) override { return true; }
};

}  // namespace

ServiceWatch& NativeServiceWatch() {
  static NoServiceWatch services;
  return services;
}

}  // namespace nubora

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
  unsigned long RequestStop(const wchar_t*) override { return kErrorServiceDoesNotExist; }
};

}  // namespace

ServiceWatch& NativeServiceWatch() {
  static NoServiceWatch services;
  return services;
}

}  // namespace nubora

#include "platform/platform.h"

namespace nubora {

Platform& CurrentPlatform() {
  static Platform current = NativePlatform();
  return current;
}

}  // namespace nubora

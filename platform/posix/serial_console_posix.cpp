// Linux has no COM port of this kind: `nubora report` prints its text instead.
#include "platform/serial_console.h"

namespace nubora {
namespace {

class NoSerialConsole : public SerialConsole {
 public:
  unsigned long Write(const std::wstring&, const std::string&) override { return kNotAvailable; }
};

}  // namespace

SerialConsole& NativeSerialConsole() {
  static NoSerialConsole console;
  return console;
}

}  // namespace nubora

#pragma once

#include <string>

#include "platform/system_errors.h"

namespace nubora {

// A serial port the tool writes a few lines to and leaves.
class SerialConsole {
 public:
  virtual ~SerialConsole() = default;
  // Opens `port` for this write only (115200 baud, 8N1, no flow control),
  // writes `bytes` with write timeouts, purges what a timeout left unsent and
  // closes. 0, or the Windows error code of the step that failed.
  virtual unsigned long Write(const std::wstring& port, const std::string& bytes) = 0;
};

SerialConsole& NativeSerialConsole();

}  // namespace nubora

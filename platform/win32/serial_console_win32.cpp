#include <windows.h>

#include "platform/serial_console.h"
#include "platform/win32/win32_handles.h"

namespace nubora {
namespace {

// A port nobody reads, or one that only pretends to be open, must cost about a
// second, never a hang: 4 KB at 115200 baud take a third of that.
constexpr DWORD kWriteTimeoutMs = 1000;

bool ConfigurePort(HANDLE port) {
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(port, &dcb)) return false;
  dcb.BaudRate = CBR_115200;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  if (!::SetCommState(port, &dcb)) return false;
  COMMTIMEOUTS timeouts = {};
  timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
  return ::SetCommTimeouts(port, &timeouts) != FALSE;
}

class Win32SerialConsole : public SerialConsole {
 public:
  unsigned long Write(const std::wstring& name, const std::string& bytes) override {
    unique_file_handle port(::CreateFileW((L"\\\\.\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE,
                                          0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!port || !ConfigurePort(port.get())) return ::GetLastError();
    DWORD written = 0;
    const BOOL wrote =
        ::WriteFile(port.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (wrote && written == bytes.size()) return 0;
    const DWORD error = wrote ? ERROR_TIMEOUT : ::GetLastError();
    // What the timeout left in the driver would otherwise hold the close.
    ::PurgeComm(port.get(), PURGE_TXABORT | PURGE_TXCLEAR);
    return error;
  }
};

}  // namespace

SerialConsole& NativeSerialConsole() {
  static Win32SerialConsole console;
  return console;
}

}  // namespace nubora

// Linux keeps no Windows registry, device list, address table, service
// manager or ACLs: each answers "not supported"; `nubora doctor` reads a machine
// description file here instead.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/machine.h"
#include "platform/platform.h"
#include "platform/portable_ini.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {
namespace {

class NoMachine : public NetworkDevices,
                  public Registry,
                  public AddressTable,
                  public ServiceConfigs,
                  public MachineFiles,
                  public FileSecurity {
 public:
  unsigned long Present(std::vector<NetworkDevice>&) override { return kNotAvailable; }
  unsigned long SubKeys(const std::wstring&, std::vector<std::wstring>&) override {
    return kNotAvailable;
  }
  unsigned long Values(const std::wstring&, std::vector<RegistryValue>&) override {
    return kNotAvailable;
  }
  unsigned long CheckWritable(const std::wstring&) override { return kNotAvailable; }
  unsigned long DeleteValue(const std::wstring&, const std::wstring&) override {
    return kNotAvailable;
  }
  unsigned long SetValue(const std::wstring&, const RegistryValue&) override {
    return kNotAvailable;
  }
  unsigned long CreateKey(const std::wstring&) override { return kNotAvailable; }
  unsigned long Read(std::vector<AddressDetection>&) override { return kNotAvailable; }
  unsigned long Query(const wchar_t*, ServiceConfig&) override { return kNotAvailable; }
  unsigned long Read(const std::wstring&, FileAccess&) override { return kNotAvailable; }
  unsigned long SystemFolder(std::wstring&) override { return kNotAvailable; }
  bool Exists(const std::wstring& path) override {
    struct stat info;
    return ::stat(NativePath(path.c_str()).c_str(), &info) == 0;
  }
  unsigned long CreateNew(const std::wstring& path, const std::string& bytes) override {
    const int file = ::open(NativePath(path.c_str()).c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file < 0)
      return errno == EEXIST   ? kErrorFileExists
             : errno == EACCES ? kErrorAccessDenied
                               : kErrorPathNotFound;
    const bool written =
        ::write(file, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    return ::close(file) == 0 && written ? 0 : kErrorWriteFault;
  }
};

}  // namespace

MachinePlatform HostMachine() {
  static NoMachine none;
  const Platform platform = CurrentPlatform();
  return {platform.adapters, &none, &none, &none, &none, &none, platform.clock, &none};
}

}  // namespace nubora

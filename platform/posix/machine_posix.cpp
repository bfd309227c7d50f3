// Linux keeps no Windows registry, device list, address table, service
// manager or ACLs: each answers "not supported"; `nubora doctor` reads a machine
// description file here instead.
#include <sys/stat.h>

#include <cstdio>

#include "platform/machine.h"
#include "platform/platform.h"
#include "platform/portable_ini.h"
#include "platform/text.h"

namespace nubora {
namespace {

constexpr unsigned long kNotSupported = 50;

class NoMachine : public NetworkDevices,
                  public Registry,
                  public AddressTable,
                  public ServiceConfigs,
                  public MachineFiles,
                  public FileSecurity {
 public:
  unsigned long Present(std::vector<std::wstring>&) override { return kNotSupported; }
  unsigned long SubKeys(const std::wstring&, std::vector<std::wstring>&) override {
    return kNotSupported;
  }
  unsigned long Values(const std::wstring&, std::vector<RegistryValue>&) override {
    return kNotSupported;
  }
  unsigned long CheckWritable(const std::wstring&) override { return kNotSupported; }
  unsigned long DeleteValue(const std::wstring&, const std::wstring&) override {
    return kNotSupported;
  }
  unsigned long SetValue(const std::wstring&, const RegistryValue&) override {
    return kNotSupported;
  }
  unsigned long Read(std::vector<AddressDetection>&) override { return kNotSupported; }
  unsigned long Query(const wchar_t*, ServiceConfig&) override { return kNotSupported; }
  unsigned long Read(const std::wstring&, FileAccess&) override { return kNotSupported; }
  unsigned long SystemFolder(std::wstring&) override { return kNotSupported; }
  bool Exists(const std::wstring& path) override {
    struct stat info;
    return ::stat(NativePath(path.c_str()).c_str(), &info) == 0;
  }
  unsigned long Write(const std::wstring& path, const std::string& bytes) override {
    std::FILE* file = std::fopen(NativePath(path.c_str()).c_str(), "wb");
    if (file == nullptr) return 3;  // the path cannot be written
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written ? 0 : 29;  // the write failed
  }
};

}  // namespace

MachinePlatform HostMachine() {
  static NoMachine none;
  const Platform platform = CurrentPlatform();
  return {platform.adapters, &none, &none, &none, &none, &none, platform.clock, &none};
}

}  // namespace nubora

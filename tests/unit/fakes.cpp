#include "fakes.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/portable_ini.h"

#ifndef NUBORA_TEST_DATA_DIR
#define NUBORA_TEST_DATA_DIR "tests/data"
#endif

namespace nubora::testing {
namespace {

class FakeProcess : public RunningProcess {
 public:
  FakeProcess(ProcessScript script, std::vector<unsigned long>& waits)
      : script_(script), waits_(waits) {}
  bool WaitFor(unsigned long milliseconds) override {
    waits_.push_back(milliseconds);
    ++slice_;
    return script_.endsInSlice != 0 && slice_ >= script_.endsInSlice;
  }

 private:
  ProcessScript script_;
  std::vector<unsigned long>& waits_;
  unsigned slice_ = 0;
};

std::uint32_t ToNetworkOrder(const std::string& dotted) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  std::sscanf(dotted.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d);
  const unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                  static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
  std::uint32_t value = 0;
  std::copy(bytes, bytes + 4, reinterpret_cast<unsigned char*>(&value));
  return value;
}

AdapterAddress Address(const std::string& dotted, unsigned prefix) {
  AdapterAddress address;
  address.present = true;
  address.ipv4 = ToNetworkOrder(dotted);
  address.prefixLength = static_cast<std::uint8_t>(prefix);
  return address;
}

}  // namespace

std::unique_ptr<RunningProcess> FakeProcessLauncher::StartHidden(wchar_t* commandLine,
                                                                 unsigned long& error) {
  ProcessScript script;
  for (const auto& [prefix, scripted] : scripts) {
    if (std::wstring(commandLine).rfind(prefix, 0) == 0) script = scripted;
  }
  events_.push_back(commandLine);
  if (script.startError != 0) {
    error = script.startError;
    return nullptr;
  }
  return std::make_unique<FakeProcess>(script, waits);
}

FakePlatform::FakePlatform() : ini(new PortableIniFiles) {
  Platform platform = CurrentPlatform();
  platform.clock = &clock;
  platform.system = &system;
  platform.adapters = &adapters;
  platform.processes = &processes;
  platform.ini = ini.get();
  scope = std::make_unique<ScopedPlatform>(platform);
}

LogCapture::LogCapture() : file_(std::tmpfile()) { SetLogStream(file_); }

LogCapture::~LogCapture() {
  SetLogStream(nullptr);
  if (file_ != nullptr) std::fclose(file_);
}

std::string LogCapture::Text() {
  std::fflush(file_);
  std::rewind(file_);
  std::string text;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof(chunk), file_)) > 0;) text.append(chunk, n);
  std::fseek(file_, 0, SEEK_END);
  // The log file is in text mode on Windows; compare without carriage returns.
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  std::string result = text.str();
  result.erase(std::remove(result.begin(), result.end(), '\r'), result.end());
  return result;
}

std::string DataPath(const std::string& relative) {
  return std::string(NUBORA_TEST_DATA_DIR) + "/" + relative;
}

std::wstring WideDataPath(const std::string& relative) {
  const std::string path = DataPath(relative);
  return std::wstring(path.begin(), path.end());
}

AdapterInfo MakeAdapter(const std::wstring& name, const std::vector<unsigned>& mac,
                        const std::vector<std::string>& addresses, unsigned prefix,
                        const std::string& gateway, const std::vector<std::string>& dns) {
  AdapterInfo adapter;
  adapter.name = "{" + std::string(name.begin(), name.end()) + "}";
  adapter.friendlyName = name;
  for (std::size_t i = 0; i < mac.size() && i < sizeof(adapter.physical); ++i) {
    adapter.physical[i] = static_cast<std::uint8_t>(mac[i]);
  }
  for (const std::string& a : addresses) adapter.unicast.push_back(Address(a, prefix));
  for (const std::string& d : dns) adapter.dns.push_back(Address(d, 0));
  if (!gateway.empty()) adapter.gateways.push_back(Address(gateway, 0));
  return adapter;
}

}  // namespace nubora::testing

// Adapter enumeration, address text and process start on Linux.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "platform/ipv4_text.h"
#include "platform/posix/posix_native.h"
#include "platform/system_errors.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

extern char** environ;

namespace nubora {
namespace {

struct IfAddrsTraits {
  static ifaddrs* Invalid() { return nullptr; }
  static void Close(ifaddrs* list) { ::freeifaddrs(list); }
};

std::uint8_t PrefixOf(const sockaddr* netmask) {
  if (netmask == nullptr || netmask->sa_family != AF_INET) return 0;
  const std::uint32_t mask = ntohl(reinterpret_cast<const sockaddr_in*>(netmask)->sin_addr.s_addr);
  std::uint8_t bits = 0;
  for (std::uint32_t m = mask; (m & 0x80000000u) != 0; m <<= 1) ++bits;
  return bits;
}

// Default gateways by interface name, from the kernel's routing table.
std::map<std::string, std::uint32_t> DefaultGateways() {
  std::map<std::string, std::uint32_t> gateways;
  std::ifstream routes("/proc/net/route");
  std::string line;
  std::getline(routes, line);  // header
  while (std::getline(routes, line)) {
    std::istringstream fields(line);
    std::string name, destination, gateway;
    if (!(fields >> name >> destination >> gateway)) continue;
    if (destination != "00000000" || gateways.count(name) != 0) continue;
    gateways[name] = static_cast<std::uint32_t>(std::stoul(gateway, nullptr, 16));
  }
  return gateways;
}

std::vector<AdapterAddress> NameServers() {
  std::vector<AdapterAddress> servers;
  std::ifstream resolv("/etc/resolv.conf");
  std::string line;
  while (std::getline(resolv, line)) {
    std::istringstream fields(line);
    std::string keyword, value;
    if (!(fields >> keyword >> value) || keyword != "nameserver") continue;
    in_addr address = {};
    if (::inet_pton(AF_INET, value.c_str(), &address) != 1) continue;
    AdapterAddress server;
    server.present = true;
    server.ipv4 = address.s_addr;
    servers.push_back(server);
  }
  return servers;
}

AdapterInfo& Entry(std::vector<AdapterInfo>& adapters, const char* name) {
  for (AdapterInfo& adapter : adapters) {
    if (adapter.name == name) return adapter;
  }
  adapters.emplace_back();
  adapters.back().name = name;
  adapters.back().friendlyName.assign(name, name + std::strlen(name));
  return adapters.back();
}

class PosixProcess : public RunningProcess {
 public:
  explicit PosixProcess(pid_t pid) : pid_(pid) {}
  ~PosixProcess() override {
    // Reap it if it has ended; a process still running is left alone.
    if (!ended_) ::waitpid(pid_, nullptr, WNOHANG);
  }

  bool WaitFor(unsigned long milliseconds) override {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
      const pid_t done = ::waitpid(pid_, nullptr, WNOHANG);
      if (done == pid_ || (done < 0 && errno == ECHILD)) {
        ended_ = true;
        return true;
      }
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

 private:
  pid_t pid_;
  bool ended_ = false;
};

}  // namespace

unsigned long PosixAdapterSource::Enumerate(std::vector<AdapterInfo>& adapters) {
  ifaddrs* raw = nullptr;
  if (::getifaddrs(&raw) != 0) return static_cast<unsigned long>(errno);
  unique_handle<IfAddrsTraits> list(raw);

  // Only interfaces that carry IPv4 are listed, as on Windows.
  std::vector<AdapterInfo> all;
  std::map<std::string, bool> hasIpv4;
  for (ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr) continue;
    AdapterInfo& adapter = Entry(all, entry->ifa_name);
    if (entry->ifa_addr->sa_family == AF_PACKET) {
      const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
      const std::size_t length = std::min<std::size_t>(link->sll_halen, sizeof(adapter.physical));
      std::memcpy(adapter.physical, link->sll_addr, length);
    } else if (entry->ifa_addr->sa_family == AF_INET) {
      AdapterAddress address;
      address.present = true;
      address.ipv4 = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr;
      address.prefixLength = PrefixOf(entry->ifa_netmask);
      adapter.unicast.push_back(address);
      hasIpv4[entry->ifa_name] = true;
    }
  }
  const auto gateways = DefaultGateways();
  const std::vector<AdapterAddress> servers = NameServers();
  for (AdapterInfo& adapter : all) {
    if (!hasIpv4[adapter.name]) continue;
    adapter.dns = servers;
    const auto gateway = gateways.find(adapter.name);
    if (gateway != gateways.end()) {
      AdapterAddress address;
      address.present = true;
      address.ipv4 = gateway->second;
      adapter.gateways.push_back(address);
    }
    adapters.push_back(std::move(adapter));
  }
  return adapters.empty() ? kErrorNoData : 0;
}

bool LengthToIpv4Mask(unsigned long prefixLength, std::uint32_t& mask) {
  if (prefixLength > 32) return false;
  const std::uint32_t host = prefixLength == 0 ? 0 : 0xFFFFFFFFu << (32 - prefixLength);
  mask = htonl(host);
  return true;
}

const char* Ipv4ToDotted(std::uint32_t address) {
  in_addr value = {};
  value.s_addr = address;
  return ::inet_ntoa(value);
}

std::vector<std::string> SplitCommandLine(const std::wstring& commandLine) {
  std::vector<std::string> words;
  std::wstring word;
  bool inWord = false, quoted = false;
  for (wchar_t c : commandLine) {
    if (c == L'"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == L' ' || c == L'\t') && !quoted) {
      if (inWord) words.push_back(NativePath(word.c_str()));
      word.clear();
      inWord = false;
    } else {
      word.push_back(c);
      inWord = true;
    }
  }
  if (inWord) words.push_back(NativePath(word.c_str()));
  return words;
}

std::unique_ptr<RunningProcess> PosixProcessLauncher::StartHidden(wchar_t* commandLine,
                                                                  unsigned long& error) {
  std::vector<std::string> words = SplitCommandLine(commandLine);
  if (words.empty()) {
    error = kErrorFileNotFound;
    return nullptr;
  }
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int result = ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
  if (result != 0) {
    error = result == ENOENT ? kErrorFileNotFound : static_cast<unsigned long>(result);
    return nullptr;
  }
  return std::unique_ptr<RunningProcess>(new PosixProcess(pid));
}

}  // namespace nubora

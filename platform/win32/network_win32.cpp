// INI reading, adapter enumeration and address text on Windows.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <cstddef>
#include <new>
#include <vector>

#include "platform/ipv4_text.h"
#include "platform/win32/win32_native.h"

namespace nubora {
namespace {

constexpr ULONG kFirstBufferBytes = 368;
constexpr int kOverflowRetries = 4;

// Each entry type carries its own Length; older systems fill less of it.
template <typename Entry, typename Field>
bool Has(const Entry* entry, const Field Entry::*field) {
  const auto* base = reinterpret_cast<const unsigned char*>(entry);
  const auto* end = reinterpret_cast<const unsigned char*>(&(entry->*field)) + sizeof(Field);
  return static_cast<std::size_t>(end - base) <= entry->Length;
}

AdapterAddress FromSocketAddress(const SOCKET_ADDRESS& address) {
  AdapterAddress result;
  if (address.lpSockaddr == nullptr) return result;
  result.present = true;
  result.ipv4 = reinterpret_cast<const sockaddr_in*>(address.lpSockaddr)->sin_addr.s_addr;
  return result;
}

AdapterInfo Describe(const IP_ADAPTER_ADDRESSES* adapter) {
  AdapterInfo info;
  if (adapter->AdapterName != nullptr) info.name = adapter->AdapterName;
  if (adapter->FriendlyName != nullptr) info.friendlyName = adapter->FriendlyName;
  for (std::size_t i = 0; i < sizeof(info.physical); ++i) {
    info.physical[i] = adapter->PhysicalAddress[i];
  }
  for (auto* u = adapter->FirstUnicastAddress; u != nullptr; u = u->Next) {
    AdapterAddress entry = FromSocketAddress(u->Address);
    if (Has(u, &IP_ADAPTER_UNICAST_ADDRESS::OnLinkPrefixLength)) {
      entry.prefixLength = u->OnLinkPrefixLength;
    } else {
      entry.prefixLength = 0xFF;  // unknown: converts to no mask
    }
    info.unicast.push_back(entry);
  }
  for (auto* d = adapter->FirstDnsServerAddress; d != nullptr; d = d->Next) {
    info.dns.push_back(FromSocketAddress(d->Address));
  }
  if (Has(adapter, &IP_ADAPTER_ADDRESSES::FirstGatewayAddress)) {
    for (auto* g = adapter->FirstGatewayAddress; g != nullptr; g = g->Next) {
      info.gateways.push_back(FromSocketAddress(g->Address));
    }
  }
  return info;
}

ULONG Query(std::vector<unsigned char>& buffer, ULONG& size) {
  return ::GetAdaptersAddresses(AF_INET, GAA_FLAG_INCLUDE_GATEWAYS, nullptr,
                                reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
}

}  // namespace

// What PathFileExistsW answers, without loading the shell utilities, which
// pull user32 into a service that has no window: half a run's start-up cost.
bool Win32IniFiles::Exists(const wchar_t* path) {
  return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

unsigned long Win32IniFiles::SectionNames(wchar_t* buffer, unsigned long size,
                                          const wchar_t* path) {
  return ::GetPrivateProfileSectionNamesW(buffer, size, path);
}

unsigned long Win32IniFiles::String(const wchar_t* section, const wchar_t* key,
                                    const wchar_t* fallback, wchar_t* buffer, unsigned long size,
                                    const wchar_t* path) {
  return ::GetPrivateProfileStringW(section, key, fallback, buffer, size, path);
}

unsigned long Win32AdapterSource::Enumerate(std::vector<AdapterInfo>& adapters) {
  try {
    std::vector<unsigned char> buffer(kFirstBufferBytes);
    ULONG size = 0;
    ULONG result = Query(buffer, size);
    if (result == ERROR_BUFFER_OVERFLOW) buffer.assign(size, 0);
    // Adapters come and go at boot: one that appears between the two calls
    // makes the buffer too small again, so size it anew a few times.
    for (int attempt = 0;; ++attempt) {
      result = Query(buffer, size);
      if (result != ERROR_BUFFER_OVERFLOW || attempt >= kOverflowRetries) break;
      buffer.assign(size, 0);
    }
    if (result != NO_ERROR) return result;
    if (size == 0) return NO_ERROR;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
         adapter != nullptr; adapter = adapter->Next) {
      adapters.push_back(Describe(adapter));
    }
    return NO_ERROR;
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

bool LengthToIpv4Mask(unsigned long prefixLength, std::uint32_t& mask) {
  // Looked up at run time so that the executable still starts where the call
  // does not exist.
  using ConvertFn = DWORD(WINAPI*)(ULONG, PULONG);
  static const ConvertFn convert = reinterpret_cast<ConvertFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"iphlpapi"), "ConvertLengthToIpv4Mask")));
  if (convert != nullptr) {
    ULONG value = 0;
    if (convert(prefixLength, &value) != NO_ERROR) return false;
    mask = value;
    return true;
  }
  if (prefixLength > 32) return false;
  const std::uint32_t host = prefixLength == 0 ? 0 : 0xFFFFFFFFu << (32 - prefixLength);
  mask = ::htonl(host);
  return true;
}

const char* Ipv4ToDotted(std::uint32_t address) {
  in_addr value = {};
  value.s_addr = address;
  return ::inet_ntoa(value);
}

}  // namespace nubora

// Prints what GetAdaptersAddresses(AF_INET, GAA_FLAG_INCLUDE_GATEWAYS) reports,
// one adapter per block, in a stable text form (LF line ends) that tests
// compare verbatim:
//   adapter <FriendlyName>
//   type <IfType> oper <OperStatus>
//   mac <xx:xx:xx:xx:xx:xx>
//   addr <a.b.c.d>/<prefix>      (one per unicast address)
//   gw <a.b.c.d>                 (one per gateway)
//   dns <a.b.c.d>                (one per DNS server)
// winsock2.h must come before iphlpapi.h and windows.h.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>
// clang-format on

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

static std::string utf8(const wchar_t* w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string s(n - 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, -1, &s[0], n, nullptr, nullptr);
  return s;
}

static std::string ipv4(const SOCKET_ADDRESS& sa) {
  if (!sa.lpSockaddr || sa.lpSockaddr->sa_family != AF_INET) return "?";
  const unsigned char* b = reinterpret_cast<const unsigned char*>(
      &reinterpret_cast<const sockaddr_in*>(sa.lpSockaddr)->sin_addr);
  char buf[16];
  snprintf(buf, sizeof buf, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return buf;
}

int wmain() {
  _setmode(_fileno(stdout), _O_BINARY);  // LF line ends, whatever the console
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buf;
  ULONG rc = ERROR_BUFFER_OVERFLOW;
  for (int i = 0; i < 4 && rc == ERROR_BUFFER_OVERFLOW; ++i) {
    buf.resize(size);
    rc = GetAdaptersAddresses(AF_INET, GAA_FLAG_INCLUDE_GATEWAYS, nullptr,
                              reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buf.data()), &size);
  }
  if (rc == ERROR_NO_DATA) return 0;
  if (rc != NO_ERROR) {
    fprintf(stderr, "GetAdaptersAddresses failed: %lu\n", rc);
    return 1;
  }
  for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buf.data()); a; a = a->Next) {
    printf("adapter %s\n", utf8(a->FriendlyName).c_str());
    printf("type %lu oper %d\n", a->IfType, (int)a->OperStatus);
    std::string mac;
    for (ULONG i = 0; i < a->PhysicalAddressLength; ++i) {
      char hex[4];
      snprintf(hex, sizeof hex, i ? ":%02x" : "%02x", a->PhysicalAddress[i]);
      mac += hex;
    }
    printf("mac %s\n", mac.c_str());
    for (auto* u = a->FirstUnicastAddress; u; u = u->Next)
      printf("addr %s/%u\n", ipv4(u->Address).c_str(), (unsigned)u->OnLinkPrefixLength);
    for (auto* g = a->FirstGatewayAddress; g; g = g->Next)
      printf("gw %s\n", ipv4(g->Address).c_str());
    for (auto* d = a->FirstDnsServerAddress; d; d = d->Next)
      printf("dns %s\n", ipv4(d->Address).c_str());
  }
  fflush(stdout);
  return 0;
}

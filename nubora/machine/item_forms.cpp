#include "nubora/machine/item_forms.h"

#include <cwchar>

#include "netconfig/discovery.h"
#include "netconfig/log_lines.h"
#include "platform/text.h"

namespace nubora {
namespace {

constexpr wchar_t kNotDotted[] = L"not dotted IPv4 text (four numbers 0-255 joined by '.')";
constexpr wchar_t kNotMac[] =
    L"not a MAC (six groups of hexadecimal digits joined by ':' or '-', or twelve hexadecimal "
    L"digits)";

bool IsHex(wchar_t c) {
  return (c >= L'0' && c <= L'9') || ((c | 0x20) >= L'a' && (c | 0x20) <= L'f');
}

bool IsDottedIpv4(const std::wstring& text) {
  std::size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && (at >= text.size() || text[at++] != L'.')) return false;
    unsigned value = 0, digits = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9' && digits < 4; ++at, ++digits) {
      value = value * 10 + static_cast<unsigned>(text[at] - L'0');
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
  }
  return at == text.size();
}

bool IsMacText(const std::wstring& text) {
  std::size_t hex = 0;
  for (wchar_t c : text) hex += IsHex(c) ? 1 : 0;
  if (hex == text.size()) return text.size() == 12;
  std::size_t at = 0;
  for (int group = 0; group < 6; ++group) {
    if (group > 0 && (at >= text.size() || (text[at] != L':' && text[at] != L'-'))) return false;
    if (group > 0) ++at;
    const std::size_t first = at;
    while (at < text.size() && IsHex(text[at]) && at - first < 2) ++at;
    if (at == first) return false;
  }
  return at == text.size();
}

// Why a name would say more than itself in a command line or the log; null
// when it would not.
const wchar_t* NameFault(const std::wstring& name) {
  for (wchar_t c : name) {
    if (c == L'"') return L"holds a quote, which ends the name in a netsh command line";
    if (IsControlCharacter(c)) {
      return L"holds a control character, which can end a line of the log";
    }
  }
  for (const wchar_t* text : FixedLineTexts()) {
    std::wstring line(text);
    while (!line.empty() && line.back() == L' ') line.pop_back();  // "start time" at a name's end
    if (name.find(line) != std::wstring::npos) {
      return L"holds a text of the service's log lines, which a reader takes for a line";
    }
  }
  return nullptr;
}

struct Collector {
  std::vector<MisformedItem>& items;
  const std::wstring& section;
  void Address(const wchar_t* key, const std::wstring& value) const {
    if (!IsDottedIpv4(value)) items.push_back({section, key, value, kNotDotted});
  }
  // An empty item of a list ("DNS=,") carries nothing into a command line.
  void Addresses(const wchar_t* key, const AddressList* list) const {
    if (list == nullptr) return;
    for (const std::wstring& item : *list) {
      if (!item.empty()) Address(key, item);
    }
  }
  void Name(const wchar_t* key, const std::wstring& value) const {
    if (const wchar_t* why = NameFault(value)) items.push_back({section, key, value, why});
  }
};

}  // namespace

std::vector<MisformedItem> MisformedItems(const IniReading& reading, IniFiles& ini,
                                          const std::wstring& path,
                                          const std::vector<AdapterInfo>& adapters) {
  std::vector<MisformedItem> items;
  for (const SectionFate& fate : reading.fates) {
    Collector{items, fate.section}.Name(L"section name", fate.section);
  }
  for (std::size_t r = 0; r < reading.records->size(); ++r) {
    const AdapterConfig& record = (*reading.records)[r];
    const std::wstring& section = reading.fates[reading.recordSection[r]].section;
    const Collector add{items, section};
    // The record holds the MAC as bytes: its text is read as the service read it.
    std::vector<wchar_t> mac(1024);
    ini.String(section.c_str(), L"MAC", L"", mac.data(), static_cast<unsigned long>(mac.size()),
               path.c_str());
    if (!IsMacText(mac.data())) items.push_back({section, L"MAC", mac.data(), kNotMac});
    if (record.dhcp == 0) {
      add.Addresses(L"IP", record.ipList.get());
      add.Address(L"MASK", record.mask);
      const std::wstring gateway = record.gateway;
      if (!gateway.empty() && gateway != L" ") add.Address(L"GATEWAY", gateway);
      add.Addresses(L"DNS", record.dnsList.get());
    }
    if (const AdapterInfo* adapter = AdapterWithMac(adapters, record.mac)) {
      add.Name(L"connection name", adapter->friendlyName);
    }
  }
  return items;
}

std::wstring MisformedText(const MisformedItem& item) {
  return std::wstring(item.key) + L" \"" + item.value + L"\": " + item.why;
}

bool HoldsMisformed(const std::vector<MisformedItem>& items, const std::wstring& section) {
  for (const MisformedItem& item : items) {
    if (item.section == section) return true;
  }
  return false;
}

}  // namespace nubora

#include "netconfig/config_file.h"

#include <climits>
#include <cwchar>
#include <cwctype>
#include <new>

#include "netconfig/log.h"
#include "netconfig/log_lines.h"
#include "platform/platform.h"

namespace nubora {
namespace {

constexpr unsigned long kBufferSize = 1024;

bool EqualsIgnoringCase(const wchar_t* a, const wchar_t* b) {
  for (; *a != L'\0' && *b != L'\0'; ++a, ++b) {
    if (std::towlower(*a) != std::towlower(*b)) return false;
  }
  return *a == *b;
}

bool IsUnset(const wchar_t* value) { return EqualsIgnoringCase(value, L"0.0.0.0"); }

bool IsHexDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

int HexValue(wchar_t c) {
  if (c <= L'9') return c - L'0';
  return (c | 0x20) - L'a' + 10;
}

// Twelve hexadecimal digits and nothing else: one byte per pair.
bool ParseBareMac(const wchar_t* text, std::uint8_t (&mac)[kMacLength]) {
  if (std::wcslen(text) != 2 * kMacLength) return false;
  for (const wchar_t* c = text; *c != L'\0'; ++c) {
    if (!IsHexDigit(*c)) return false;
  }
  for (std::size_t i = 0; i < kMacLength; ++i) {
    mac[i] = static_cast<std::uint8_t>(HexValue(text[2 * i]) * 16 + HexValue(text[2 * i + 1]));
  }
  return true;
}

class SectionReader {
 public:
  SectionReader(IniFiles& ini, const wchar_t* path, const wchar_t* section, bool explain)
      : ini_(ini), path_(path), section_(section), explain_(explain) {}

  // The count of characters read; `value` holds the text.
  unsigned long Read(const wchar_t* key, const wchar_t* fallback) {
    value[0] = L'\0';
    lastKey_ = key;
    ini_.String(section_, key, fallback, value, kBufferSize, path_);
    // The text is what counts: a value that starts with a NUL is empty, whatever
    // count the platform gave for it.
    return static_cast<unsigned long>(std::wcslen(value));
  }

  // True when the last key read is absent from the section: read again with a
  // default no file holds. A run that explains nothing never reads again.
  bool Absent() {
    if (!explain_) return false;
    wchar_t probe[4] = {};
    ini_.String(section_, lastKey_, L"\x01", probe, 4, path_);
    return probe[0] == L'\x01' && probe[1] == L'\0';
  }

  wchar_t value[kBufferSize] = {};

 private:
  IniFiles& ini_;
  const wchar_t* path_;
  const wchar_t* section_;
  const wchar_t* lastKey_ = L"";
  bool explain_;
};

enum class Outcome { kKeep, kDrop, kSkip };

struct Decision {
  Outcome outcome;
  const wchar_t* reason;
};

Decision Keep(const wchar_t* reason) { return {Outcome::kKeep, reason}; }
Decision Drop(const wchar_t* reason) { return {Outcome::kDrop, reason}; }

// Why a required key gave nothing usable; an absent key reads as its default.
const wchar_t* Unusable(SectionReader& reader, unsigned long count, const wchar_t* missing,
                        const wchar_t* empty, const wchar_t* unset) {
  if (count == 0) return empty;
  return reader.Absent() ? missing : unset;
}

// A mask or gateway that does not fit its field is never cut short: a cut
// address would configure the wrong network.
bool PlaceAddressText(wchar_t (&field)[kAddressTextCapacity], const wchar_t* value,
                      const wchar_t* key) {
  if (PlaceText(field, value)) return true;
  LogWideLine(kFieldTooLongFormat, key);
  return false;
}

Decision ReadStaticKeys(SectionReader& reader, AdapterConfig& record) {
  unsigned long count = reader.Read(L"IP", L"0.0.0.0");
  if (count == 0) return Drop(L"IP is empty");
  LogValue(kIpPrefix, reader.value);
  if (IsUnset(reader.value)) {
    return Drop(Unusable(reader, count, L"IP is missing", L"IP is empty", L"IP is 0.0.0.0"));
  }
  LogValue(kConfigIpPrefix, reader.value);
  record.ipList = SplitAddressList(reader.value);
  if (!record.ipList || record.ipList->empty()) return Drop(L"IP holds no address");

  count = reader.Read(L"MASK", L"0.0.0.0");
  if (count == 0) return Drop(L"MASK is empty");
  LogValue(kMaskPrefix, reader.value);
  if (IsUnset(reader.value)) {
    return Drop(Unusable(reader, count, L"MASK is missing", L"MASK is empty", L"MASK is 0.0.0.0"));
  }
  LogValue(kConfigMaskPrefix, reader.value);
  if (!PlaceAddressText(record.mask, reader.value, L"mask")) {
    return Drop(L"MASK is longer than 29 characters");
  }

  if (reader.Read(L"GATEWAY", L" ") > 0) {
    LogValue(kGatewayPrefix, reader.value);
    LogValue(kConfigGatewayPrefix, reader.value);
    if (!PlaceAddressText(record.gateway, reader.value, L"gateway")) {
      return Drop(L"GATEWAY is longer than 29 characters");
    }
  }

  if (reader.Read(L"DNS", L"") > 0) record.dnsList = SplitAddressList(reader.value);
  return Keep(L"static record");
}

Decision ReadSection(SectionReader& reader, AdapterConfig& record) {
  reader.Read(L"DISABLED", L"0");
  if (ReadInteger(reader.value, 10) != 0) {
    LogWideLine(kDisabledLine);
    return {Outcome::kSkip, L"DISABLED is a nonzero number"};
  }

  const unsigned long count = reader.Read(L"MAC", L"0.0.0.0");
  if (count == 0) return Drop(L"MAC is empty");
  LogValue(kMacPrefix, reader.value);
  if (IsUnset(reader.value)) {
    return Drop(Unusable(reader, count, L"MAC is missing", L"MAC is empty", L"MAC is 0.0.0.0"));
  }
  LogValue(kConfigMacPrefix, reader.value);
  if (ParseMacAddress(reader.value, record.mac) != 0) {
    return Drop(L"MAC is shorter than 12 characters");
  }

  if (reader.Read(L"DHCP", L"0") > 0) {
    record.dhcp = ReadInteger(reader.value, 10);
    if (record.dhcp != 0) {
      LogWideLine(kDhcpEnabledLine);
      return Keep(L"DHCP record");
    }
    LogWideLine(kDhcpDisabledLine);
  }
  return ReadStaticKeys(reader, record);
}

}  // namespace

std::int32_t ReadInteger(const wchar_t* text, int base) {
  const long long value = std::wcstoll(text, nullptr, base);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

int ParseMacAddress(wchar_t* text, std::uint8_t (&mac)[kMacLength]) {
  if (std::wcslen(text) < 2 * kMacLength) return -1;
  if (ParseBareMac(text, mac)) return 0;

  std::size_t stored = 0;
  wchar_t* group = text;
  for (wchar_t* c = text;; ++c) {
    if (*c == L':' || *c == L'-') {
      *c = L'\0';
      mac[stored++] = static_cast<std::uint8_t>(ReadInteger(group, 16) & 0xFF);
      if (stored == kMacLength) break;
      group = c + 1;
    } else if (*c == L'\0') {
      mac[stored] = static_cast<std::uint8_t>(ReadInteger(group, 16) & 0xFF);
      break;
    }
  }
  return 0;
}

std::unique_ptr<AddressList> SplitAddressList(wchar_t* text) {
  if (text[0] == L'\0') return nullptr;
  std::unique_ptr<AddressList> list(new (std::nothrow) AddressList);
  if (!list) return nullptr;
  wchar_t* item = text;
  for (wchar_t* c = text;; ++c) {
    if (*c == L',') {
      *c = L'\0';
      LogValue(kListItemPrefix, item);
      list->emplace_back(item);
      item = c + 1;
    } else if (*c == L'\0') {
      if (*item != L'\0') {
        LogValue(kListItemPrefix, item);
        list->emplace_back(item);
      }
      break;
    }
  }
  return list;
}

std::unique_ptr<AdapterConfigList> ReadConfigFile(const wchar_t* path) {
  return ReadConfigFile(path, nullptr);
}

std::unique_ptr<AdapterConfigList> ReadConfigFile(const wchar_t* path,
                                                  std::vector<SectionFate>* fates) {
  IniFiles& ini = *CurrentPlatform().ini;
  if (!ini.Exists(path)) {
    LogWideLine(kConfigMissingLine);
    return nullptr;
  }
  std::unique_ptr<AdapterConfigList> list(new (std::nothrow) AdapterConfigList);
  if (!list) {
    LogWideLine(kConfigNoMemoryLine);
    return nullptr;
  }

  wchar_t names[kBufferSize] = {};
  if (ini.SectionNames(names, kBufferSize, path) == 0) {
    LogWide(kSectionNamesFailedLine);
    return list;
  }
  names[kBufferSize - 1] = L'\0';

  AdapterConfig working;
  const wchar_t* const end = names + kBufferSize;
  for (const wchar_t* section = names; section < end && *section != L'\0';
       section += std::wcslen(section) + 1) {
    ResetToZero(working);
    LogValue(kParsingSectionPrefix, section);
    SectionReader reader(ini, path, section, fates != nullptr);
    const Decision decision = ReadSection(reader, working);
    if (fates != nullptr) {
      fates->push_back({section, decision.outcome == Outcome::kKeep,
                        decision.outcome == Outcome::kSkip, decision.reason});
    }
    if (decision.outcome == Outcome::kKeep) list->push_back(std::move(working));
    LogWideLine(L"%ls", section);
  }
  return list;
}

}  // namespace nubora

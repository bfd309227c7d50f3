// The doctor's .reg backup of arbitrary keys and values: read back by a
// strict reader (each line ends in CR LF, keys only after a blank line, every
// value line in one of the forms a .reg file has), it holds exactly those
// keys with exactly their values; or the writer refuses (13) a key or value
// name with a control character or a key name with ']'.
//
// The input: records of a kind byte (kind % 4 == 0: a key; else a value of
// the type kind picks), a name's length and UTF-16 units, a length and the
// data (text units then a NUL with kind's bit 6).
#include <algorithm>
#include <cwctype>

#include "fuzz_support.h"
#include "nubora/doctor/doctor.h"
#include "nubora/machine/stand_ins.h"
#include "platform/system_errors.h"

namespace {

using nubora::RegistryValue;
using Keys = std::vector<std::pair<std::wstring, std::vector<RegistryValue>>>;

// A quoted string from `at` on: only \\ and \" escape, a quote ends it.
bool Quoted(const std::wstring& line, std::size_t& at, std::wstring& text) {
  if (at >= line.size() || line[at++] != L'"') return false;
  for (; at < line.size(); ++at) {
    if (line[at] == L'"') return ++at, true;
    if (line[at] == L'\\' && (++at == line.size() || (line[at] != L'\\' && line[at] != L'"'))) {
      return false;
    }
    text += line[at];
  }
  return false;
}

bool Hex(const std::wstring& text, std::size_t digits, unsigned long& value) {
  if (text.empty() || text.size() > digits || (digits == 2 && text.size() != 2)) return false;
  for (wchar_t c : text) {
    if (!std::iswxdigit(c)) return false;
  }
  value = std::wcstoul(text.c_str(), nullptr, 16);
  return true;
}

bool ParseValue(const std::wstring& line, RegistryValue& value) {
  std::size_t at = line[0] == L'@' ? 1 : 0;
  if ((at == 0 && !Quoted(line, at, value.name)) || at >= line.size() || line[at++] != L'=') {
    return false;
  }
  const std::wstring data = line.substr(at);
  std::wstring text;
  unsigned long number = 0;
  if (data[0] == L'"') {
    at = 0;
    if (!Quoted(data, at, text) || at != data.size()) return false;
    value = nubora::TextValue(value.name, nubora::kRegSz, {text});
    return true;
  }
  if (data.rfind(L"dword:", 0) == 0) {
    value.type = nubora::kRegDword;
    if (data.size() != 14 || !Hex(data.substr(6), 8, number)) return false;
    for (int i = 0; i < 4; ++i) value.data.push_back((number >> 8 * i) & 0xFF);
    return true;
  }
  const std::size_t colon = data.find(L"):");
  value.type = nubora::kRegBinary;
  if (data.rfind(L"hex:", 0) == 0) {
    at = 4;
  } else if (data.rfind(L"hex(", 0) != 0 || colon == std::wstring::npos ||
             !Hex(data.substr(4, colon - 4), 8, value.type)) {
    return false;
  } else {
    at = colon + 2;
  }
  for (std::size_t end = at; at < data.size(); at = end + 1) {
    end = std::min(data.find(L',', at), data.size());
    if (!Hex(data.substr(at, end - at), 2, number) || end + 1 == data.size()) return false;
    value.data.push_back(static_cast<std::uint8_t>(number));
  }
  return true;
}

bool ParseReg(const std::string& bytes, Keys& keys) {
  const std::wstring kHeader = L"Windows Registry Editor Version 5.00\r\n";
  const std::wstring kKey = L"[HKEY_LOCAL_MACHINE\\";
  if (bytes.size() % 2 != 0 || bytes.compare(0, 2, "\xFF\xFE") != 0) return false;
  std::wstring text;
  for (std::size_t i = 2; i < bytes.size(); i += 2) {
    text += static_cast<wchar_t>(static_cast<std::uint8_t>(bytes[i]) |
                                 static_cast<std::uint8_t>(bytes[i + 1]) << 8);
  }
  if (text.rfind(kHeader, 0) != 0) return false;
  bool blank = false;
  for (std::size_t at = kHeader.size(), end; at < text.size(); at = end + 2) {
    if ((end = text.find(L"\r\n", at)) == std::wstring::npos) return false;
    const std::wstring line = text.substr(at, end - at);
    if (line.find_first_of(L"\r\n") != std::wstring::npos) return false;
    if (line.empty()) {
      if (blank) return false;
      blank = true;
    } else if (line[0] == L'[') {  // a key only after a blank line
      if (!blank || line.back() != L']' || line.rfind(kKey, 0) != 0) return false;
      keys.push_back({line.substr(kKey.size(), line.size() - kKey.size() - 1), {}});
      blank = false;
    } else {
      if (blank || keys.empty()) return false;
      keys.back().second.emplace_back();
      if (!ParseValue(line, keys.back().second.back())) return false;
    }
  }
  return !blank;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nubora;
  std::size_t at = 0;
  const auto byte = [&]() -> unsigned long { return at < size ? data[at++] : 0; };
  const auto units = [&](std::size_t count) {
    std::wstring text;
    while (count-- > 0) {
      const unsigned long low = byte();
      text += static_cast<wchar_t>(low | byte() << 8);
    }
    return text;
  };
  MachineDescription description;
  std::vector<std::wstring> keys;
  bool unsafe = false;
  const auto control = [](const std::wstring& name) {
    return std::any_of(name.begin(), name.end(), [](wchar_t c) { return c < L' '; });
  };
  while (at < size) {
    const unsigned kind = byte();
    const std::wstring name = units(byte() % 32);
    if (kind % 4 == 0 || keys.empty()) {
      keys.push_back(name);
      description.registry[name];
      unsafe = unsafe || control(name) || name.find(L']') != std::wstring::npos;
      if (kind % 4 == 0) continue;
    }
    const unsigned long kTypes[] = {
        kRegSz, kRegSz, kRegExpandSz, kRegBinary, kRegDword, kRegMultiSz, 0, 11};
    RegistryValue value{name, kTypes[kind / 4 % 8], {}};
    for (int i = 0; i < 4 && kind / 4 % 8 == 7; ++i) value.type = value.type >> 8 | byte() << 24;
    const std::size_t length = byte();
    if (kind & 0x40) {
      value = TextValue(name, value.type, {units(length)});
    } else {
      while (value.data.size() < length) value.data.push_back(byte());
    }
    unsafe = unsafe || control(name);
    description.registry[keys.back()].push_back(value);
  }
  DescribedMachine machine(description);
  std::string bytes;
  unsigned long error = 0;
  const bool written = RegBackup(machine, keys, bytes, error);
  FUZZ_CHECK(written == !unsafe);
  if (!written) {
    FUZZ_CHECK(error == kErrorInvalidData);
    return 0;
  }
  Keys read, expected;
  for (const std::wstring& key : keys) expected.push_back({key, description.registry[key]});
  FUZZ_CHECK(ParseReg(bytes, read));
  FUZZ_CHECK(read == expected);
  return 0;
}

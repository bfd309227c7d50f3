// The doctor's .reg backup of arbitrary keys and values: read back by a
// strict reader (each line ends in CR LF, keys only after a blank line, every
// value line in one of the forms a .reg file has), it holds exactly those
// keys with exactly their values; or the writer refuses (13) a key or value
// name with a control character or a key name with ']'.
//
// The input: records of a kind byte (kind % 4 == 0: a key; else a value of
// the type kind picks), a name's length and UTF-16 units, a length and the
// data (text units then a NUL with kind's bit 6).
#include <regex>

#include "fuzz_support.h"
#include "nubora/doctor/doctor.h"
#include "nubora/machine/stand_ins.h"
#include "platform/system_errors.h"

using namespace nubora;

namespace {

using Keys = std::vector<std::pair<std::wstring, std::vector<RegistryValue>>>;

// In quotes; only \\ and \" escape.
const std::wstring kQuoted = L"\"((?:[^\"\\\\\r\n]|\\\\[\"\\\\])*)\"";

std::wstring Unquoted(const std::wstring& text) {
  static const std::wregex kEscape(L"\\\\([\"\\\\])");
  return std::regex_replace(text, kEscape, L"$1");
}

unsigned long Hex(const std::wstring& digits) { return std::stoul(digits, nullptr, 16); }

bool ParseReg(const std::string& bytes, Keys& keys) {
  static const std::wregex kKey(L"\\[HKEY_LOCAL_MACHINE\\\\([^\r\n]*)\\]");
  static const std::wregex kValue(L"(?:@|" + kQuoted + L")=(?:" + kQuoted +
                                  L"|dword:([0-9a-f]{8})|hex(?:\\(([0-9a-f]{1,8})\\))?:"
                                  L"((?:[0-9a-f]{2}(?:,[0-9a-f]{2})*)?))");
  const std::wstring kHeader = L"\xFEFFWindows Registry Editor Version 5.00\r\n";
  if (bytes.size() % 2 != 0) return false;
  std::wstring text;  // UTF-16LE
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    text += wchar_t(std::uint8_t(bytes[i]) | std::uint8_t(bytes[i + 1]) << 8);
  }
  if (text.rfind(kHeader, 0) != 0) return false;
  std::string kinds;  // of each line: blank, key or value
  std::wsmatch m;
  for (const std::wstring& line : fuzz::Split(text.substr(kHeader.size()), std::wstring(L"\r\n"))) {
    if (line.empty()) {
      kinds += 'b';
    } else if (std::regex_match(line, m, kKey)) {
      kinds += 'k';
      keys.push_back({m[1], {}});
    } else if (!keys.empty() && std::regex_match(line, m, kValue)) {
      kinds += 'v';
      RegistryValue value{Unquoted(m[1]), m[4].matched ? Hex(m[4]) : kRegBinary, {}};
      if (m[3].matched) value.type = kRegDword;
      if (m[2].matched) value = TextValue(value.name, kRegSz, {Unquoted(m[2])});
      for (int i = 0; m[3].matched && i < 4; ++i) value.data.push_back(Hex(m[3]) >> 8 * i & 0xFF);
      for (long i = 0; m[5].matched && i < m[5].length(); i += 3) {
        value.data.push_back(Hex(m[5].str().substr(i, 2)));
      }
      keys.back().second.push_back(value);
    } else {
      return false;
    }
  }
  // A blank line before each key and nowhere else; the last line ended too.
  return std::regex_match(kinds, std::regex("(bkv*)*b"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t at = 0;
  const auto byte = [&]() -> unsigned long { return at < size ? data[at++] : 0; };
  const auto units = [&](std::size_t count) {
    std::wstring text;
    for (unsigned long low; count-- > 0;) low = byte(), text += wchar_t(low | byte() << 8);
    return text;
  };
  MachineDescription description;
  std::vector<std::wstring> keys;
  bool unsafe = false;
  while (at < size) {
    const unsigned kind = byte();
    const std::wstring name = units(byte() % 32);
    unsafe = unsafe || std::any_of(name.begin(), name.end(), [](wchar_t c) { return c < L' '; });
    if (kind % 4 == 0 || keys.empty()) {
      keys.push_back(name);
      description.registry[name];
      unsafe = unsafe || name.find(L']') != std::wstring::npos;
      if (kind % 4 == 0) continue;
    }
    const unsigned long kTypes[] = {
        kRegSz, kRegSz, kRegExpandSz, kRegBinary, kRegDword, kRegMultiSz, 0, 11};
    RegistryValue value{name, kTypes[kind / 4 % 8], {}};
    for (int i = 0; i < 4 && kind / 4 % 8 == 7; ++i) value.type = value.type >> 8 | byte() << 24;
    const std::size_t length = byte();
    if (kind & 0x40) value = TextValue(name, value.type, {units(length)});
    while (!(kind & 0x40) && value.data.size() < length) value.data.push_back(byte());
    description.registry[keys.back()].push_back(value);
  }
  DescribedMachine machine(description);
  std::string bytes;
  unsigned long error = 0;
  const bool written = RegBackup(machine, keys, bytes, error);
  FUZZ_CHECK(written == !unsafe && (written || error == kErrorInvalidData));
  Keys read, expected;
  for (const std::wstring& key : keys) expected.push_back({key, description.registry[key]});
  FUZZ_CHECK(!written || (ParseReg(bytes, read) && read == expected));
  return 0;
}

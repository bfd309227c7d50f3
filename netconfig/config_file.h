#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "netconfig/adapter_config.h"

namespace nubora {

// Turns every enabled, complete section of the INI file at `path` into a
// desired record, in file order, logging each step. Null when no file exists
// at `path` or the list cannot be made.
std::unique_ptr<AdapterConfigList> ReadConfigFile(const wchar_t* path);

// What became of one section, in plain words, for tools that explain a file.
struct SectionFate {
  std::wstring section;
  bool kept = false;
  bool disabled = false;
  std::wstring reason;
};

// The same, also telling what became of each section.
std::unique_ptr<AdapterConfigList> ReadConfigFile(const wchar_t* path,
                                                  std::vector<SectionFate>* fates);

// Fills `mac` from groups of hexadecimal digits separated by ':' or '-', or
// from twelve hexadecimal digits without separators. 0 when accepted, -1 for a
// text shorter than twelve characters. Writes a NUL over each separator it
// consumes.
int ParseMacAddress(wchar_t* text, std::uint8_t (&mac)[kMacLength]);

// Splits comma-separated items, logging each; a trailing empty item is
// dropped. Null for an empty text. Writes a NUL over each comma.
std::unique_ptr<AddressList> SplitAddressList(wchar_t* text);

// The standard library's wcstol, with the 32-bit range of Windows' long.
std::int32_t ReadInteger(const wchar_t* text, int base);

}  // namespace nubora

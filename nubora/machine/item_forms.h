#pragma once

#include <string>
#include <vector>

#include "nubora/machine/predicted_run.h"
#include "platform/adapters.h"
#include "platform/ini_files.h"

namespace nubora {

// An item the service would put as it is into a netsh command line or its
// log, where it is not in the form its key takes: a blank or a quote adds
// arguments, a line end or a line's text adds lines. `key`: MAC, IP, MASK,
// GATEWAY, DNS, "section name" or "connection name".
struct MisformedItem {
  std::wstring section;
  const wchar_t* key;
  std::wstring value;
  const wchar_t* why;
};

// Every misformed item of the INI file at `path` as `reading` holds it: each
// section's name, each record's values and the connection name of the
// adapter among `adapters` that the record matches.
std::vector<MisformedItem> MisformedItems(const IniReading& reading, IniFiles& ini,
                                          const std::wstring& path,
                                          const std::vector<AdapterInfo>& adapters);

// `KEY "value": why`, for one line of a tool's output.
std::wstring MisformedText(const MisformedItem& item);

// Whether `section` holds one of `items`: its commands are then never offered
// to run.
bool HoldsMisformed(const std::vector<MisformedItem>& items, const std::wstring& section);

}  // namespace nubora

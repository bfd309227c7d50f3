#pragma once

#include <string>
#include <vector>

#include "platform/adapters.h"

namespace nubora {

// Reads the adapters a machine would show from a small INI file: one section
// per adapter, named by its connection name, with
//   MAC=00:00:5e:00:53:01          (required; six groups, ':' or '-')
//   ADDRESSES=192.0.2.10/24,...    (IPv4 address/prefix length, in order)
//   GATEWAY=192.0.2.1              (the default gateway)
//   DNS=198.51.100.53,...          (DNS servers, in order)
//   ID={...}                       (the permanent name; optional)
// False with a message naming the section and key when the file is unusable.
bool LoadAdaptersFile(const std::wstring& path, std::vector<AdapterInfo>& adapters,
                      std::wstring& error);

}  // namespace nubora

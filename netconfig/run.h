#pragma once

#include <cstdint>

namespace nubora {

constexpr const wchar_t* kLogPath = L"c:\\windows\\ipconfig_service.log";
constexpr const wchar_t* kConfigPath = L"c:\\windows\\ipconfig_xen_vm.ini";

// One whole configuration pass, from opening the log to the post script,
// framed by a start and an end time in the log. Always 0.
std::int32_t RunConfiguration();

}  // namespace nubora

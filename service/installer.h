#pragma once

namespace nubora {

// Quoted, as it stands in the registered command line.
inline constexpr const wchar_t* kInstallPath =
    L"\"C:\\Program Files\\Nubora\\NuboraService\\NuboraService.exe\"";
inline constexpr const wchar_t* kServiceName = L"NuboraService";
inline constexpr const wchar_t* kDisplayName = L"Nubora\u670D\u52A1";
inline constexpr const wchar_t* kDescription =
    L"Windows Server\u521D\u59CB\u5316\u8F85\u52A9\u670D\u52A1\uFF0C"
    L"\u81EA\u52A8\u914D\u7F6ENubora\u7F51\u7EDCIP\u5730\u5740";

// Registers the automatically started service and copies the running
// executable to the install path. 0, or the error code of the failing step.
int InstallService(const wchar_t* installPath, const wchar_t* serviceName,
                   const wchar_t* displayName, const wchar_t* description);

// Deletes the service's registration. 0, or the error code of the failing step.
int UninstallService(const wchar_t* serviceName);

}  // namespace nubora

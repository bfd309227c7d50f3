#pragma once

// Who the two services and the event source are: the names they register
// under, their texts, where they are installed. The packages take the same
// values from here (packaging/make-packages.sh reads this file): each value
// is one statement, wide string pieces with only \\, \" and \uXXXX escapes,
// a number, or the name of a value above.
namespace nubora {

// The boot configuration service, registered by its own "install" verb or by
// the packages, which put the tool beside it.
inline constexpr wchar_t kServiceName[] = L"NuboraService";
inline constexpr wchar_t kServiceDisplayName[] = L"Nubora\u670D\u52A1";
inline constexpr wchar_t kServiceDescription[] =
    L"Windows Server\u521D\u59CB\u5316\u8F85\u52A9\u670D\u52A1\uFF0C"
    L"\u81EA\u52A8\u914D\u7F6ENubora\u7F51\u7EDCIP\u5730\u5740";
inline constexpr wchar_t kServiceInstallPath[] =
    L"C:\\Program Files\\Nubora\\NuboraService\\NuboraService.exe";
// Its command line's argument: started by the service manager.
inline constexpr wchar_t kServiceArgument[] = L"-k";
inline constexpr wchar_t kToolFile[] = L"nubora.exe";

// The report service, registered by "nubora report --install-service" or by
// the packages; it runs the tool with these arguments. The packages keep the
// options they were given for it (REPORT_OPTIONS) in the settings key, for
// their upgrades and repairs.
inline constexpr wchar_t kReportServiceName[] = L"NuboraReport";
inline constexpr wchar_t kReportDisplayName[] = L"Nubora boot report";
inline constexpr wchar_t kReportDescription[] =
    L"Tells each boot's network configuration verdict on the serial console and in the Windows "
    L"Event Log";
inline constexpr wchar_t kReportArguments[] = L"report --service";
inline constexpr wchar_t kReportSettingsKey[] = L"SOFTWARE\\Nubora\\NuboraReport";
inline constexpr wchar_t kReportOptionsValue[] = L"ReportOptions";

// The Event Log source the report tells the service's runs as, under the
// key of the Application log's sources; its message file is the tool.
inline constexpr wchar_t kEventSourcesKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
inline constexpr const wchar_t* kEventSource = kServiceName;
inline constexpr wchar_t kEventMessageFileValue[] = L"EventMessageFile";
inline constexpr wchar_t kTypesSupportedValue[] = L"TypesSupported";
// Error, warning and information events.
inline constexpr unsigned long kTypesSupported = 7;

}  // namespace nubora

#pragma once

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "netconfig/adapter_config.h"
#include "platform/clock.h"

namespace nubora {

// Every line the service writes to its log, in one place: the service writes
// them and `nubora` reads them back. The texts are the log's format, which
// people and tools on the machines read: keep them byte for byte, spacing,
// capitals and misspellings ("adpater", "finded") included.
//
// Three kinds: a fixed line (k...Line); a line of a fixed text and a value
// after it, given here as the text before the value (k...Prefix); a line with
// values inside, given as the printf format the service writes it with
// (k...Format). None holds its line end.

// The run's frame: "start time " and "end time " before the clock.
constexpr wchar_t kStartTimePrefix[] = L"start time ";
constexpr wchar_t kEndTimePrefix[] = L"end time ";
constexpr wchar_t kStartingLine[] = L"starting config ip address";
constexpr wchar_t kNoConfigurationLine[] = L"config file error , no configure information";
constexpr wchar_t kConfigureEndLine[] = L"configure end";

// Reading the INI file.
constexpr wchar_t kConfigMissingLine[] = L"config file not exist";
constexpr wchar_t kConfigNoMemoryLine[] = L"config mem alloc failed";
// Written without a line end: the next line the run writes continues it.
constexpr wchar_t kSectionNamesFailedLine[] = L"GetPrivateProfileSectionNames failed";
constexpr wchar_t kParsingSectionPrefix[] = L"parsing config file for ";
// Then each section's lines, and its name alone on a line to close it.
constexpr wchar_t kDisabledLine[] = L"config entry disabled , ignore it";
constexpr wchar_t kMacPrefix[] = L"mac=";
constexpr wchar_t kConfigMacPrefix[] = L"config macaddr=";
constexpr wchar_t kDhcpEnabledLine[] = L"dhcp enabled";
constexpr wchar_t kDhcpDisabledLine[] = L"dhcp disabled";
constexpr wchar_t kIpPrefix[] = L"ip=";
constexpr wchar_t kConfigIpPrefix[] = L"config ip=";
constexpr wchar_t kListItemPrefix[] = L"ip adr : ";  // each address or DNS server
constexpr wchar_t kMaskPrefix[] = L"mask=";
constexpr wchar_t kConfigMaskPrefix[] = L"config mask=";
constexpr wchar_t kGatewayPrefix[] = L"gateway=";
constexpr wchar_t kConfigGatewayPrefix[] = L"config gateway=";
constexpr wchar_t kFieldTooLongFormat[] = L"config %ls too long , ignore it";  // "mask", "gateway"

// Finding the adapters.
constexpr wchar_t kDiscoveryLine[] = L"begin ConfigIpAddresses";
constexpr wchar_t kEnumerationFailedLine[] = L"Call to GetAdaptersAddresses failed.";
constexpr wchar_t kAdapterFoundPrefix[] = L"Find Adapter Name: ";
constexpr wchar_t kNameTooLongPrefix[] = L"adapter name too long , ignore adapter mac=";
constexpr wchar_t kNotFoundPrefix[] = L"cannot find match adpater mac=";
constexpr wchar_t kRetryFormat[] = L"retry find adapters retrycount=%d";
constexpr wchar_t kGaveUpLine[] = L"cannot find all matched network adapters , configure finded";
// The snapshot of a found adapter.
constexpr wchar_t kSnapshotLine[] = L"begin getCurrentConfig";
constexpr wchar_t kSnapshotNamePrefix[] = L"current config AdapterName: ";
constexpr wchar_t kSnapshotIpPrefix[] = L"current config ip=";
constexpr wchar_t kSnapshotMaskPrefix[] = L"current config mask=";
constexpr wchar_t kSnapshotDnsPrefix[] = L"current config dns=";
constexpr wchar_t kSnapshotGatewayPrefix[] = L"current config gateway=";

// Applying a record: each part's line, then its commands.
constexpr wchar_t kAddressChangedLine[] = L"start set config ip submask gateway...";
constexpr wchar_t kAddressUnchangedLine[] = L"config ip submask gateway is not changed...";
constexpr wchar_t kDnsChangedLine[] = L"start set config dns...";
constexpr wchar_t kDnsUnchangedLine[] = L"config dns is not changed...";
constexpr wchar_t kCommandTooLongPrefix[] = L"command line too long , not run : ";

// Running a command: its command line alone on a line, then these.
constexpr wchar_t kCreateFailedFormat[] = L"CreateProcess failed (%d)";
constexpr wchar_t kWaitSliceFormat[] = L"wait %ls  count=%d";
constexpr wchar_t kWaitTimedOutFormat[] = L"wait %ls  timed out";
constexpr wchar_t kWaitEndedFormat[] = L"wait %ls  successfully";

// The service around the run.
constexpr wchar_t kStopRequestLine[] =
    L"some one try to stop our service, entering stop pending state";
constexpr wchar_t kInstalledLine[] = L"installservice successfully";
constexpr wchar_t kInstallFailedFormat[] = L"installservice failed with errorcode=%d";
constexpr wchar_t kUninstalledLine[] = L"uninstallservice successfully";
constexpr wchar_t kUninstallFailedFormat[] = L"uninstallservice failed with errorcode=%d";

// Every fixed line and prefix above, and the beginning of each netsh command
// line the log holds: for tools that must tell a name from a line. Keep it
// whole when a line is added.
const std::vector<const wchar_t*>& FixedLineTexts();

// The clock after "start time " and "end time ": 2016-3-5, 9:14: 7.
std::wstring ClockText(const LocalTime& time);

// A MAC as the log writes it: 00-00-5e-00-53-01.
std::wstring MacText(const std::uint8_t (&mac)[kMacLength]);

}  // namespace nubora

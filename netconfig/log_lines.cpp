#include "netconfig/log_lines.h"

#include <cwchar>

#include "netconfig/apply.h"
#include "netconfig/log.h"

namespace nubora {

const std::vector<const wchar_t*>& FixedLineTexts() {
  static const std::vector<const wchar_t*> texts = {kStartTimePrefix,
                                                    kEndTimePrefix,
                                                    kStartingLine,
                                                    kNoConfigurationLine,
                                                    kConfigureEndLine,
                                                    kConfigMissingLine,
                                                    kConfigNoMemoryLine,
                                                    kSectionNamesFailedLine,
                                                    kParsingSectionPrefix,
                                                    kDisabledLine,
                                                    kMacPrefix,
                                                    kConfigMacPrefix,
                                                    kDhcpEnabledLine,
                                                    kDhcpDisabledLine,
                                                    kIpPrefix,
                                                    kConfigIpPrefix,
                                                    kListItemPrefix,
                                                    kMaskPrefix,
                                                    kConfigMaskPrefix,
                                                    kGatewayPrefix,
                                                    kConfigGatewayPrefix,
                                                    kDiscoveryLine,
                                                    kEnumerationFailedLine,
                                                    kAdapterFoundPrefix,
                                                    kNameTooLongPrefix,
                                                    kNotFoundPrefix,
                                                    kGaveUpLine,
                                                    kSnapshotLine,
                                                    kSnapshotNamePrefix,
                                                    kSnapshotIpPrefix,
                                                    kSnapshotMaskPrefix,
                                                    kSnapshotDnsPrefix,
                                                    kSnapshotGatewayPrefix,
                                                    kAddressChangedLine,
                                                    kAddressUnchangedLine,
                                                    kDnsChangedLine,
                                                    kDnsUnchangedLine,
                                                    kCommandTooLongPrefix,
                                                    kStopRequestLine,
                                                    kInstalledLine,
                                                    kUninstalledLine,
                                                    kNetshCommandPrefix};
  return texts;
}

std::wstring ClockText(const LocalTime& time) {
  return FormatWide(L"%d-%d-%d,%2d:%2d:%2d", time.year, time.month, time.day, time.hour,
                    time.minute, time.second);
}

std::wstring MacText(const std::uint8_t (&mac)[kMacLength]) {
  return FormatWide(L"%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                    mac[5]);
}

}  // namespace nubora

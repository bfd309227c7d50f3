#include "service/installer.h"

#include <cwchar>
#include <string>

#include "platform/identity.h"
#include "platform/platform.h"

namespace nubora {
namespace {

constexpr std::size_t kPathCapacity = 260;

// Creates each folder on the way to the file, from the one below the drive.
void CreateFoldersFor(ExecutableFiles& files, const std::wstring& file) {
  const std::size_t first = file.find(L'\\');
  for (std::size_t at = file.find(L'\\', first + 1); at != std::wstring::npos;
       at = file.find(L'\\', at + 1)) {
    files.CreateFolder(file.substr(0, at).c_str());
  }
}

}  // namespace

int InstallService() {
  ServiceManagerApi& api = *CurrentPlatform().services;
  ExecutableFiles& files = *CurrentPlatform().files;

  ScHandle manager(api, api.OpenManager(scm::kManagerCreateService));
  if (!manager) return static_cast<int>(api.LastError());

  wchar_t buffer[kPathCapacity] = {};
  std::swprintf(buffer, kPathCapacity, L"\"%ls\" %ls", kServiceInstallPath, kServiceArgument);
  ScHandle service(api, api.CreateOwnService(manager.get(), kServiceName, kServiceDisplayName,
                                             scm::kServiceAllAccess, scm::kOwnProcess,
                                             scm::kAutoStart, scm::kErrorNormal, buffer));
  if (!service) return static_cast<int>(api.LastError());

  api.SetDescription(service.get(), kServiceDescription);

  files.ModulePath(buffer, kPathCapacity);
  const std::wstring target = kServiceInstallPath;
  // Running from the installed file, under whatever spelling: a copy onto
  // itself would fail. When the answer is unknown the copy decides.
  if (files.SameFile(buffer, target.c_str()) == FileIdentity::kSame) return 0;

  CreateFoldersFor(files, target);
  if (!files.CopyOver(buffer, target.c_str())) {
    // A registration whose command line names no file would fail at every
    // boot: take it back and say why.
    const int error = static_cast<int>(files.LastError());
    api.DeleteExistingService(service.get());
    return error != 0 ? error : -1;
  }
  return 0;
}

int UninstallService() {
  ServiceManagerApi& api = *CurrentPlatform().services;
  ScHandle manager(api, api.OpenManager(scm::kManagerAllAccess));
  if (!manager) return static_cast<int>(api.LastError());

  ScHandle service(api,
                   api.OpenExistingService(manager.get(), kServiceName, scm::kServiceAllAccess));
  if (!service) return static_cast<int>(api.LastError());

  if (!api.DeleteExistingService(service.get())) return static_cast<int>(api.LastError());
  return 0;
}

}  // namespace nubora

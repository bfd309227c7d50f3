#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nubora {

// What the fleet reader needs of the host's files beyond reading them
// (SharedReadFile): folders, their times, and a file replaced whole.
// Errors are the Windows codes of platform/system_errors.h on every platform.

// Whether `path` names a folder.
bool IsFolder(const std::wstring& path);
// The names of the regular files in `folder` (no subfolders), in no order.
unsigned long FolderFiles(const std::wstring& folder, std::vector<std::wstring>& names);
// When `path` was last written, in seconds since 1970 (UTC).
unsigned long WrittenTime(const std::wstring& path, std::int64_t& seconds);
// `bytes` as the whole of `path`: written to a new file beside it, then
// renamed over it, so a reader sees the old file or the new, never a part.
unsigned long ReplaceWhole(const std::wstring& path, const std::string& bytes);

}  // namespace nubora

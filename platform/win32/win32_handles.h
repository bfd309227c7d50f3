#pragma once

#include <windows.h>

#include "platform/unique_handle.h"

namespace nubora {

struct KernelHandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE handle) { ::CloseHandle(handle); }
};
using unique_kernel_handle = unique_handle<KernelHandleTraits>;

// CreateFileW's handles, whose failure value is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) { ::CloseHandle(handle); }
};
using unique_file_handle = unique_handle<FileHandleTraits>;

struct RegistryKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY key) { ::RegCloseKey(key); }
};
using unique_key = unique_handle<RegistryKeyTraits>;

// The service manager's handles, of the manager and of one service.
struct ServiceHandleTraits {
  static SC_HANDLE Invalid() { return nullptr; }
  static void Close(SC_HANDLE handle) { ::CloseServiceHandle(handle); }
};
using unique_service_handle = unique_handle<ServiceHandleTraits>;

}  // namespace nubora

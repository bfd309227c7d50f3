#pragma once

#include <windows.h>

#include "platform/unique_handle.h"

namespace nubora {

struct KernelHandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE handle) { ::CloseHandle(handle); }
};
using unique_kernel_handle = unique_handle<KernelHandleTraits>;

}  // namespace nubora

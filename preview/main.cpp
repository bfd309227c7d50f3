#include "preview/preview.h"

#if defined(_WIN32)

int wmain(int argc, wchar_t** argv) { return nubora::PreviewMain(argc, argv); }

#else

#include "platform/wide_arguments.h"

int main(int argc, char** argv) {
  return nubora::RunWithWideArguments(argc, argv, nubora::PreviewMain);
}

#endif

#include "service/dispatch.h"

#if defined(_WIN32)

int wmain(int argc, wchar_t** argv) { return nubora::EntryMain(argc, argv); }

#else

#include "platform/wide_arguments.h"

int main(int argc, char** argv) {
  return nubora::RunWithWideArguments(argc, argv, nubora::EntryMain);
}

#endif

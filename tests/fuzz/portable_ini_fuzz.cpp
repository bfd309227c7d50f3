// The portable INI reader on arbitrary text, with buffers of random sizes: it
// must stay inside every buffer, end what it places with the NULs it promises,
// and place only text taken from the file or the fallback.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cwctype>
#include <iterator>
#include <memory>

#include "fuzz_support.h"
#include "platform/portable_ini.h"

namespace {

using nubora::IniDocument;

const wchar_t* const kFallbacks[] = {nullptr,    L"",      L" ",   L"   ",
                                     L"0.0.0.0", L"  x  ", L"'q'", L"\"0\""};
const wchar_t* const kKeys[] = {L"", L"MAC", L"ip", L"Dns", L"=", L" k "};

// A buffer of exactly `size` characters, filled with a mark.
struct Buffer {
  explicit Buffer(unsigned long n) : size(n), data(new wchar_t[n]) {
    std::fill(data.get(), data.get() + n, L'#');
  }
  std::wstring Placed(unsigned long count) const { return std::wstring(data.get(), count); }
  unsigned long size;
  std::unique_ptr<wchar_t[]> data;
};

// The whole listing: every non-empty name and its NUL.
std::wstring Listing(const IniDocument& document) {
  std::wstring listing;
  for (const auto& section : document.sections) {
    if (!section.name.empty()) listing += section.name + L'\0';
  }
  return listing;
}

// A listing placed whole, or cut so that the buffer ends with two NULs.
void CheckListing(const std::wstring& whole, const Buffer& buffer, unsigned long count) {
  if (buffer.size < 2) {
    FUZZ_CHECK(count == 0);
    if (buffer.size == 1) FUZZ_CHECK(buffer.data[0] == L'\0');
    return;
  }
  FUZZ_CHECK(count <= buffer.size - 2);
  FUZZ_CHECK(buffer.data[count] == L'\0');
  FUZZ_CHECK(whole.compare(0, count, buffer.Placed(count)) == 0);
  if (count != whole.size()) {
    FUZZ_CHECK(count == buffer.size - 2 && buffer.data[count + 1] == L'\0');
  }
}

std::wstring CaseFlipped(std::wstring text, std::uint32_t pattern) {
  for (std::size_t i = 0; i < text.size() && i < 32; ++i) {
    if ((pattern >> i) & 1) text[i] = static_cast<wchar_t>(std::towupper(text[i]));
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  // The choices come from the end of the input, so a plain INI file is a seed.
  const unsigned long namesSize = input.ConsumeIntegralInRange<unsigned long>(0, 96);
  const unsigned long valueSize = input.ConsumeIntegralInRange<unsigned long>(0, 96);
  const int sectionChoice = input.ConsumeIntegralInRange(0, 3);
  const std::size_t sectionIndex = input.ConsumeIntegral<std::uint8_t>();
  const std::uint32_t casePattern = input.ConsumeIntegral<std::uint32_t>();
  const int keyChoice = input.ConsumeIntegralInRange(0, 3);
  const std::size_t keyIndex = input.ConsumeIntegral<std::uint8_t>();
  const wchar_t* fallback = input.PickValueInArray(kFallbacks);
  const std::wstring text = nubora::fuzz::WideText(input.ConsumeRemainingBytesAsString());

  const IniDocument document = nubora::ParseIniText(text);
  for (const auto& section : document.sections) {
    FUZZ_CHECK(section.name.find_first_of(L"\r\n") == std::wstring::npos);
    for (const auto& entry : section.entries) {
      FUZZ_CHECK(entry.key.find_first_of(L"\r\n=") == std::wstring::npos);
      FUZZ_CHECK(text.find(entry.value) != std::wstring::npos);
    }
  }

  const std::wstring listing = Listing(document);
  Buffer names(namesSize);
  CheckListing(listing, names, nubora::IniSectionNames(document, names.data.get(), names.size));
  Buffer same(namesSize);
  const unsigned long sameCount =
      nubora::IniString(document, nullptr, L"k", fallback, same.data.get(), same.size);
  CheckListing(listing, same, sameCount);

  std::wstring sectionName;
  const nubora::IniSection* section = nullptr;
  if (!document.sections.empty()) {
    section = &document.sections[sectionIndex % document.sections.size()];
  }
  if (sectionChoice == 1 && section != nullptr) sectionName = section->name;
  if (sectionChoice == 2 && section != nullptr)
    sectionName = CaseFlipped(section->name, casePattern);
  if (sectionChoice == 3) sectionName = kKeys[sectionIndex % std::size(kKeys)];

  std::wstring key = kKeys[keyIndex % std::size(kKeys)];
  if (keyChoice == 1 && section != nullptr && !section->entries.empty()) {
    key = section->entries[keyIndex % section->entries.size()].key;
  }
  Buffer value(valueSize);
  const unsigned long count =
      nubora::IniString(document, sectionName.c_str(), keyChoice == 0 ? nullptr : key.c_str(),
                        fallback, value.data.get(), value.size);
  if (value.size == 0) {
    FUZZ_CHECK(count == 0);
    return 0;
  }
  FUZZ_CHECK(count < value.size);
  FUZZ_CHECK(value.data[count] == L'\0');
  if (keyChoice != 0) {
    // A value is text of the file, or of the fallback, with any quotes removed.
    const std::wstring placed = value.Placed(count);
    const std::wstring defaultText = fallback != nullptr ? fallback : L"";
    FUZZ_CHECK(text.find(placed) != std::wstring::npos ||
               defaultText.find(placed) != std::wstring::npos);
  }
  return 0;
}

#include "sound_files/format_names_win32.h"

#include "sound_files/format_names.h"

namespace {

// acmFormatTagDetailsA, looked up at run time so that the program also runs
// where no audio compression manager is installed.
typedef UINT(WINAPI* FormatTagDetailsFn)(HANDLE driver, CodecTagDetails* details, DWORD query);
constexpr DWORD ACM_FORMATTAGDETAILSF_FORMATTAG = 1;

std::string AskCodecForName(WORD tag) {
  std::string name = kUnknownFormatName;
  HMODULE library = LoadLibraryA("MSACM32.DLL");
  if (reinterpret_cast<UINT_PTR>(library) < 32) return name;
  // Through a generic function pointer type: the exported entry has its own signature.
  auto details_fn = reinterpret_cast<FormatTagDetailsFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, "acmFormatTagDetailsA")));
  if (details_fn) {
    CodecTagDetails details = MakeTagDetailsQuery(tag);
    if (details_fn(nullptr, &details, ACM_FORMATTAGDETAILSF_FORMATTAG) == 0) {
      char text[sizeof details.szFormatTag + 1];
      CopyCodecName(details.szFormatTag, sizeof details.szFormatTag, text, sizeof text);
      name = text;
    }
  }
  FreeLibrary(library);
  return name;
}

}  // namespace

std::string FormatTagName(WORD tag) {
  if (const char* known = KnownFormatTagName(tag)) return known;
  return AskCodecForName(tag);
}

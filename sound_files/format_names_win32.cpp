#include "sound_files/format_names_win32.h"

#include "base/acm_stream_win32.h"
#include "sound_files/format_names.h"

namespace {

std::string AskCodecForName(WORD tag) {
  std::string name = kUnknownFormatName;
  const AcmFormatTagDetailsFn details_fn = AcmFormatTagDetails();
  if (!details_fn) return name;
  CodecTagDetails details = MakeTagDetailsQuery(tag);
  if (details_fn(nullptr, reinterpret_cast<LPACMFORMATTAGDETAILSA>(&details), ACM_FORMATTAGDETAILSF_FORMATTAG) == 0) {
    char text[sizeof details.szFormatTag + 1];
    CopyCodecName(details.szFormatTag, sizeof details.szFormatTag, text, sizeof text);
    name = text;
  }
  return name;
}

}  // namespace

std::string FormatTagName(WORD tag) {
  if (const char* known = KnownFormatTagName(tag)) return known;
  return AskCodecForName(tag);
}

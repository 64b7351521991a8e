// Names of wave format tags: the program's own table of registered tags.
// The Windows side asks the audio compression manager for tags not in it.
#pragma once
#include <cstddef>
#include <cstdint>

struct FormatTagEntry {
  uint16_t tag;
  const char* name;
};

// The table, sorted by tag (130 entries).
const FormatTagEntry* FormatTagTable(size_t* count);

// The table's name for a tag, or nullptr when the tag is not in the table.
const char* KnownFormatTagName(uint16_t tag);

// Shown for a tag that neither the table nor an installed codec names.
inline constexpr char kUnknownFormatName[] = "unknown";

// The request record of the audio compression manager's format tag details
// query: 72 bytes, zeroed, with its size and the tag. The tag is widened to
// 32 bits without a sign, so 0xFFFE is asked for as 0x0000FFFE.
#pragma pack(push, 1)
struct CodecTagDetails {
  uint32_t cbStruct;
  uint32_t dwFormatTagIndex;
  uint32_t dwFormatTag;
  uint32_t cbFormatSize;
  uint32_t fdwSupport;
  uint32_t cFormats;
  char szFormatTag[48];
};
#pragma pack(pop)
static_assert(sizeof(CodecTagDetails) == 72, "format tag details record is 72 bytes");

CodecTagDetails MakeTagDetailsQuery(uint16_t tag);

// The name the system's audio compression manager gave, as found in its
// 48-character name field: at most 48 bytes, cut at the first zero. Empty
// input (a field without a name) gives "unknown".
void CopyCodecName(const char* field, size_t field_size, char* out, size_t out_size);

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sound_files/format_names.h"

namespace {

// The published list of names, written out once more as the user reads it, so
// that a slip in the program's table (a typo, a lost or shifted entry) shows.
const char kPublishedNames[] =
    "0x0000 \"?\"; 0x0001 \"PCM\"; 0x0002 \"MS-ADPCM\"; 0x0003 \"IEEE-FLOAT\"; 0x0004 \"VSELP\"; "
    "0x0005 \"IBM-CSVD\"; 0x0006 \"CCITT-A-Law\"; 0x0007 \"CCITT-u-Law\"; 0x0008 \"DTS\"; "
    "0x0010 \"OKI-ADPCM\"; 0x0011 \"IMA-ADPCM\"; 0x0012 \"MediaSpace-ADPCM\"; 0x0013 \"Sierra-ADPCM\"; "
    "0x0014 \"G.723-ADPCM\"; 0x0015 \"DIGISTD\"; 0x0016 \"DIGIFIX\"; 0x0017 \"Dialogic-OKI-ADPCM\"; "
    "0x0018 \"MediaVision-ADPCM\"; 0x0019 \"CU-CODEC\"; 0x0020 \"YAMAHA-ADPCM\"; 0x0021 \"SONARC\"; "
    "0x0022 \"TrueSpeech\"; 0x0023 \"ECHOSC1\"; 0x0024 \"AF36\"; 0x0025 \"APTX\"; 0x0026 \"AF10\"; "
    "0x0027 \"PROSODY-1612\"; 0x0028 \"LRC\"; 0x0030 \"DOLBY AC2\"; 0x0031 \"GSM 6.10\"; "
    "0x0032 \"MSN Audio\"; 0x0033 \"ANTEX-ADPCM\"; 0x0034 \"CONTROL-RES VQLPC\"; 0x0035 \"DIGIREAL\"; "
    "0x0036 \"DIGIADPCM\"; 0x0037 \"CONTROL-RES CR10\"; 0x0038 \"NMS-VBXADPCM\"; "
    "0x0039 \"CS-IMA-ADPCM\"; 0x003A \"ECHOSC3\"; 0x003B \"ROCKWELL-ADPCM\"; "
    "0x003C \"ROCKWELL-DIGITALK\"; 0x003D \"XEBEC\"; 0x0040 \"G.721-ADPCM\"; 0x0041 \"G.728-ADPCM\"; "
    "0x0042 \"MS G.723\"; 0x0050 \"MPEG\"; 0x0052 \"RT24\"; 0x0053 \"PAC\"; 0x0055 \"MPEG Layer3\"; "
    "0x0059 \"Lucent G723\"; 0x0060 \"Cirrus\"; 0x0061 \"ES PCM\"; 0x0062 \"Voxware\"; "
    "0x0063 \"Canopus ATRAC\"; 0x0064 \"G726 ADPCM\"; 0x0065 \"G722 ADPCM\"; 0x0067 \"DSAT-DISPLAY\"; "
    "0x0069 \"Voxware BYTE-Aligned\"; 0x0070 \"CELP\"; 0x0071 \"SBC-8\"; 0x0072 \"SBC-12\"; "
    "0x0073 \"SBC-16\"; 0x0074 \"Voxware RT24\"; 0x0075 \"Voxware RT29\"; 0x0076 \"Voxware RT29HW\"; "
    "0x0077 \"Voxware VR12\"; 0x0078 \"Voxware VR18\"; 0x0079 \"Voxware TQ40\"; 0x0080 \"Softsound\"; "
    "0x0081 \"Voxware TQ60\"; 0x0082 \"MS RT24\"; 0x0083 \"G729A\"; 0x0084 \"MVI-MVI2\"; "
    "0x0085 \"DF-G726\"; 0x0086 \"DF-GSM610\"; 0x0088 \"ISIAUDIO\"; 0x0089 \"ONLIVE\"; 0x0091 \"SBC24\"; "
    "0x0092 \"DOLBY AC3 SPDIF\"; 0x0093 \"Mediasonic G723\"; 0x0094 \"PROSODY 8KBPS\"; "
    "0x0097 \"ZyXEL ADPCM\"; 0x0098 \"Philips LPCBB\"; 0x0099 \"PACKED\"; 0x00A0 \"Malden Phonytalk\"; "
    "0x0100 \"Phetorex ADPCM\"; 0x0101 \"IRAT\"; 0x0111 \"Vivo G723\"; 0x0112 \"Vivo SIREN\"; "
    "0x0123 \"Digital G723\"; 0x0125 \"SANYO LD ADPCM\"; 0x0130 \"Sipro Lab ACEPLNET\"; "
    "0x0131 \"Sipro Lab ACELP4800\"; 0x0132 \"Sipro Lab ACELP8V3\"; 0x0133 \"Sipro Lab G729\"; "
    "0x0134 \"Sipro Lab G729A\"; 0x0135 \"Sipro Lab KELVIN\"; 0x0140 \"G726ADPCM\"; "
    "0x0150 \"Qualcomm PUREVOICE\"; 0x0151 \"Qualcomm HALFRATE\"; 0x0155 \"TUBGSM\"; "
    "0x0160 \"MS AUDIO1\"; 0x0200 \"Creative ADPCM\"; 0x0202 \"Creative FASTSPEECH8\"; "
    "0x0203 \"CreativeFASTSPEECH10\"; 0x0210 \"UHER ADPCM\"; 0x0220 \"Quarterdeck\"; "
    "0x0230 \"I-link VC\"; 0x0240 \"RAW SPORT\"; 0x0250 \"IPI HSX\"; 0x0251 \"IPI RPELP\"; "
    "0x0260 \"CS2\"; 0x0270 \"SONY SCX\"; 0x0300 \"FM-TOWNS SND\"; 0x0400 \"BTV DIGITAL\"; "
    "0x0450 \"QDesign MUSIC\"; 0x0680 \"VME VMPCM\"; 0x0681 \"TPC\"; 0x1000 \"OLI GSM\"; "
    "0x1001 \"OLI ADPCM\"; 0x1002 \"OLI CELP\"; 0x1003 \"OLI SBC\"; 0x1004 \"OLI OPR\"; "
    "0x1100 \"LH CODEC\"; 0x1400 \"Norris\"; 0x1500 \"soundspace musicompress\"; 0x2000 \"DVM\"; "
    "0x674F \"OggVorbis mode1\"; 0x6750 \"OggVorbis mode2\"; 0x6751 \"OggVorbis mode3\".";

TEST(InfoFormatNames, EveryPublishedNameAndNothingElse) {
  // Entries read: 0xHHHH "name"; ...
  std::string text = kPublishedNames;
  int published = 0;
  for (size_t at = text.find("0x"); at != std::string::npos; at = text.find("; 0x", at)) {
    if (text.compare(at, 2, "; ") == 0) at += 2;
    uint16_t tag = static_cast<uint16_t>(std::stoul(text.substr(at, 6), nullptr, 16));
    size_t open = text.find('"', at);
    size_t close = text.find('"', open + 1);
    std::string expected = text.substr(open + 1, close - open - 1);
    const char* name = KnownFormatTagName(tag);
    ASSERT_NE(name, nullptr) << std::hex << tag;
    EXPECT_EQ(std::string(name), expected) << std::hex << tag;
    ++published;
    at = close;
  }
  EXPECT_EQ(published, 130);

  int named = 0;
  for (uint32_t tag = 0; tag <= 0xFFFF; ++tag)
    if (KnownFormatTagName(static_cast<uint16_t>(tag))) ++named;
  EXPECT_EQ(named, 130);

  size_t count = 0;
  FormatTagTable(&count);
  EXPECT_EQ(count, 130u);
}

TEST(InfoFormatNames, CommonTags) {
  EXPECT_STREQ(KnownFormatTagName(0x0000), "?");
  EXPECT_STREQ(KnownFormatTagName(0x0001), "PCM");
  EXPECT_STREQ(KnownFormatTagName(0x0055), "MPEG Layer3");
  EXPECT_STREQ(KnownFormatTagName(0x674F), "OggVorbis mode1");
  EXPECT_STREQ(KnownFormatTagName(0x6751), "OggVorbis mode3");
  EXPECT_EQ(KnownFormatTagName(0x0009), nullptr);
  EXPECT_EQ(KnownFormatTagName(0x2001), nullptr);
  EXPECT_EQ(KnownFormatTagName(0xFFFE), nullptr);
}

TEST(InfoFormatNames, CodecQueryWidensTagWithoutSign) {
  CodecTagDetails query = MakeTagDetailsQuery(0xFFFE);
  unsigned char bytes[sizeof query];
  std::memcpy(bytes, &query, sizeof query);
  EXPECT_EQ(query.cbStruct, 72u);
  EXPECT_EQ(query.dwFormatTag, 0x0000FFFEu);
  // Little-endian record: size at 0, index at 4, tag at 8.
  const unsigned char expected_head[12] = {72, 0, 0, 0, 0, 0, 0, 0, 0xFE, 0xFF, 0, 0};
  EXPECT_EQ(std::memcmp(bytes, expected_head, sizeof expected_head), 0);
  for (size_t i = sizeof expected_head; i < sizeof bytes; ++i) EXPECT_EQ(bytes[i], 0) << i;
}

TEST(InfoFormatNames, CodecNameField) {
  char out[49];
  char field[48];
  std::memset(field, 'A', sizeof field);  // a name filling the whole field, no zero
  CopyCodecName(field, sizeof field, out, sizeof out);
  EXPECT_EQ(std::string(out), std::string(48, 'A'));

  std::memset(field, 0, sizeof field);
  std::strcpy(field, "Some Codec");
  CopyCodecName(field, sizeof field, out, sizeof out);
  EXPECT_STREQ(out, "Some Codec");

  std::memset(field, 0, sizeof field);
  CopyCodecName(field, sizeof field, out, sizeof out);
  EXPECT_STREQ(out, "unknown");

  char small[5];
  std::strcpy(field, "Some Codec");
  CopyCodecName(field, sizeof field, small, sizeof small);
  EXPECT_STREQ(small, "Some");
}

}  // namespace

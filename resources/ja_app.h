// Japanese texts of the start-up and the main window (Shift-JIS in the binary).
// \x1E and \x1F are the control bytes of the old menu mnemonic form; each is
// closed off with a new literal so that no hex escape swallows a letter.
#pragma once

namespace ja {

inline constexpr char kPlay[] = "再生";
inline constexpr char kStop[] = "停止";
inline constexpr char kRec[] = "録音";
// The caption Japanese Windows gives a message box that has none.
inline constexpr char kErrorCaption[] = "エラー";
inline constexpr char kPlayOpen[] = "再生用にファイルを開く";
inline constexpr char kButtonFontFace[] = "ＭＳ ゴシック";

// Open-file filters: description and pattern pairs, then all files.
inline constexpr char kSoundWavMp3Ogg[] = "ｻｳﾝﾄﾞ(*.WAV;*.MP3;*.RMP;*.OGG)";
inline constexpr char kSoundWavMp3[] = "ｻｳﾝﾄﾞ(*.WAV;*.MP3;*.RMP)";
inline constexpr char kSoundWavOgg[] = "ｻｳﾝﾄﾞ(*.WAV;*.OGG)";
inline constexpr char kSoundWav[] = "ｻｳﾝﾄﾞ(*.WAV)";
inline constexpr char kAllFiles[] = "全ファイル(*.*)";

// Menu texts: the popups by position, then the items by command id.
struct MenuText {
  int id;  // popup position for popups, command id for items
  const char* text;
};

// Windows 3.95 and later: ampersand mnemonics.
inline constexpr MenuText kMenuPopups[] = {
    {0, "ファイル(&F)"}, {1, "操作(&O)"}, {2, "ヘルプ(&H)"}};
inline constexpr MenuText kMenuItems[] = {
    {101, "新規(&N)..."},     {102, "開く(&O)..."},          {103, "情報(&I)..."},
    {104, "終了(&X)"},        {108, "演奏(&L)"},             {109, "停止(&T)"},
    {110, "ポーズ(&P)"},      {107, "オプション(&O)..."},    {106, "ヘルプの表示(&H)...\tF1"},
    {105, "バージョン情報(&A)..."}};

// Earlier versions: the mnemonic between the control bytes 0x1E and 0x1F.
inline constexpr MenuText kOldMenuPopups[] = {
    {0, "ﾌｧｲﾙ(\x1E" "F\x1F" "ﾌ)"}, {1, "操作(\x1E" "O\x1F" "ｿ)"}, {2, "ﾍﾙﾌﾟ(\x1E" "H\x1F" "ﾍ)"}};
inline constexpr MenuText kOldMenuItems[] = {
    {101, "新規(\x1E" "N\x1F" "ｻ)..."},
    {102, "開く(\x1E" "O\x1F" "ﾋ)..."},
    {103, "情報(\x1E" "I\x1F" "ｲ)..."},
    {104, "終了(\x1E" "X\x1F" "ｼ)"},
    {108, "演奏(\x1E" "L\x1F" "ｴ)"},
    {109, "停止(\x1E" "T\x1F" "ﾃ)"},
    {110, "ﾎﾟｰｽﾞ(\x1E" "P\x1F" "ﾎ)"},
    {107, "ｵﾌﾟｼｮﾝ(\x1E" "O\x1F" "ｵ)..."},
    {106, "ﾍﾙﾌﾟの表示(\x1E" "H\x1F" "ﾍ)...\tF1"},
    {105, "ﾊﾞｰｼﾞｮﾝ情報(\x1E" "A\x1F" "ｼ)..."}};

}  // namespace ja

// Japanese texts of the Option dialog, the About box, the new-file dialog and
// the three-dimension item that every dialog's system menu carries.
// UTF-8 here; the compiler stores them in code page 932.
#pragma once

namespace ja {

// System-menu item of every dialog; 0x1E and 0x1F mark the mnemonic the old way.
inline constexpr char kThreeDimension[] = "３Ｄ表示(\x1E" "T\x1F" "ｻ)";

// Option dialog.
inline constexpr char kOptionTitle[] = "オプション設定";
inline constexpr char kPlayingRate[] = "再生速度(&R):";
inline constexpr char kPitch[] = "ピッチ";
inline constexpr char kDisplayTiming[] = "レベルメータの表示間隔(&T):";
inline constexpr char kSmooth[] = "連続(&S)";
inline constexpr char kHoldDecay[] = "減衰";
inline constexpr char kHoldConst[] = "定常";
inline constexpr char kDbDisplay[] = "db表示(&D)";
inline constexpr char kOnMemory[] = "録音/再生をオンメモリで行う(&O)";
inline constexpr char kMaxMemory[] = "最大メモリサイズ(&M):";
inline constexpr char kMonochrome[] = "ﾓﾉｸﾛ(&C)";
inline constexpr char kLevelWarning[] = "演奏/録音終了時にレベル警告を出す(&L)";
inline constexpr char kCancel[] = "ｷｬﾝｾﾙ";
// The pitch in semitones; below one semitone, spelled out with "点".
inline constexpr char kPitchFormat[] = "%+5.1f半音";
inline constexpr char kSpelledPitchFormat[] = "%c%1d点%1d半音";
inline constexpr char kStereo[] = "ｽﾃﾚｵ";
inline constexpr char kMonaural[] = "ﾓﾉﾗﾙ";
// Text under the memory size: the recording time the typed size holds.
inline constexpr char kMemoryTimeFormat[] = "%lukHz %dbit %sで約%ld秒ぶん";
inline constexpr char kMemoryTimeUnknown[] = "録音形式が不正です";

// Display timing list.
inline constexpr char kTiming3s[] = "３秒";
inline constexpr char kTiming1_5s[] = "１.５秒";
inline constexpr char kTiming1s[] = "１秒";
inline constexpr char kTiming1_3[] = "1/3秒";
inline constexpr char kTiming1_5[] = "1/5秒";
inline constexpr char kTiming1_11[] = "1/11秒";
inline constexpr char kTiming1_22[] = "1/22秒";
inline constexpr char kTiming1_3Spelled[] = "3分の1秒";
inline constexpr char kTiming1_5Spelled[] = "5分の1秒";
inline constexpr char kTiming1_11Spelled[] = "11分の1秒";
inline constexpr char kTiming1_22Spelled[] = "22分の1秒";

// About box.
inline constexpr char kAuthor[] = "TAPEON 開発チーム作";
inline constexpr char kWordSize[] = "32 bit 版";
inline constexpr char kFreeSoftware[] = "これはフリーソフトです";
inline constexpr char kMadeWithSuffix[] = "で作成";
inline constexpr char kDeviceCounts[] = "録音ﾃﾞﾊﾞｲｽ=%2d個  再生ﾃﾞﾊﾞｲｽ=%2d個";

// New recording file dialog.
inline constexpr char kNewFileTitle[] = "録音用ファイルの新規作成";
inline constexpr char kBrowseButton[] = "参照(&B)...";
inline constexpr char kTimeLimit[] = "時間制限(&T)";
inline constexpr char kYes[] = "有";
inline constexpr char kNo[] = "無";
inline constexpr char kMinutes[] = "分";
inline constexpr char kFileName[] = "ファイル名(&N)";
inline constexpr char kFrequency[] = "周波数(&F)";
inline constexpr char kChannels[] = "チャンネル数(&C)";
inline constexpr char kBits[] = "ビット数(&I)";
inline constexpr char kAutoExtension[] = "拡張子を自動付加する(&E)";
inline constexpr char kFreeSpaceFormat[] = "%c:ドライブの残り容量 %.1f KB (約%.1f秒ぶん)";
inline constexpr char kFreeSpaceOnlyFormat[] = "%c:ドライブの残り容量 %.1f KB";
inline constexpr char kPoint[] = "点";
inline constexpr char kOverwrite[] = "%s\nこのファイルはすでに存在します。\n\n上書きしますか？";
inline constexpr char kCannotCreate[] = "ファイルを作成できません。\nファイル名は正しいですか？";
// The file to record over begins a series whose numbered files are there:
// the file, the lowest numbered one, and ", ..." when there are more.
inline constexpr char kEarlierSeries[] =
    "%s\n以前の録音の番号付きファイルがあります:\n%s%s\n\nそれらを残しますか？\n"
    "新しい録音は空いている番号を使います。\n［いいえ］: 別の名前を付けます。";
inline constexpr char kNoSupportFormat[] = "サウンドドライバは、この形式を録音できません。";
inline constexpr char kSoundFilter[] = "ｻｳﾝﾄﾞ(*.WAV)";
inline constexpr char kAllFilesFilter[] = "全ファイル(*.*)";
inline constexpr char kBrowseTitle[] = "参照";

}  // namespace ja

// English texts that are not in the string table.
namespace en::dialogs {
inline constexpr char kEarlierSeries[] =
    "%s\nNumbered files of an earlier recording:\n%s%s\n\nKeep them? The new files take free numbers.\n"
    "No: give the recording another name.";
}  // namespace en::dialogs

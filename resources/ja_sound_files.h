// Japanese texts of opening, creating and repairing sound files (Shift-JIS in
// the binary).
#pragma once

namespace ja::files {

// Opening for play.
inline constexpr char kFileNameMissing[] = "ファイル名が未入力。";
inline constexpr char kCantOpenFile[] = "ファイルを開けません。";
inline constexpr char kNotRiffFile[] = "指定したファイルは、RIFFファイルではありません。";
inline constexpr char kNotWaveFile[] = "指定したファイルは、WAVEファイルではありません。";
inline constexpr char kRecover[] = "WAVEファイルが壊れています。\n修復を試みますか？";
inline constexpr char kCantRecover[] = "修復失敗";
// A recording cut off after the last update of its header: the seconds after
// the end the header gives.
inline constexpr char kRecoverTail[] = "このファイルの録音は途中で終わっています。\n終わりの後の%.1f秒を修復しますか？";
// ... a tail shorter than 0.1 s, in milliseconds.
inline constexpr char kRecoverTailMs[] = "このファイルの録音は途中で終わっています。\n終わりの後の%luミリ秒を修復しますか？";
inline constexpr char kNoDataInRiff[] = "RIFFファイルにデータ チャンクがありません。";
inline constexpr char kFileDestroyed[] = "WAVEファイルが壊れています。";
inline constexpr char kCantReadFmt[] = "形式チャンクを読み取れません。";
inline constexpr char kBadDeviceId[] = "範囲外のデバイスIDが指定されました。";
inline constexpr char kOutputInUse[] = "他のソフトが再生回路を使っています。";
inline constexpr char kQueryNoMemory[] = "メモリの割り当てができません。";
inline constexpr char kNoPlayDriver[] = "この形式を再生できるドライバがありません。";
inline constexpr char kCantOpenOutput[] = "音声出力デバイスを開けません。";
inline constexpr char kNoDataInWave[] = "WAVEファイルにデータ チャンクがありません。";
inline constexpr char kDataEmpty[] = "データ チャンクが空です。";

// Allocating the format record.
inline constexpr char kRecordNoMemory[] = "極度のメモリ不足です。";
inline constexpr char kRecordLockFailed[] = "メモリのロックに失敗しました。";

// Creating for record.
inline constexpr char kCantCreateRiff[] = "RIFFチャンクが作成できません";
inline constexpr char kCantCreateFmt[] = "FMTチャンクが作成できません";
inline constexpr char kCantWriteFmt[] = "形式チャンクに書き込めません";
inline constexpr char kCantCreateData[] = "データチャンクを作成できません";
// A recording whose next file of its series could not be made: that file,
// and the file that holds the end of the recording.
inline constexpr char kSeriesStopped[] =
    "録音を停止しました。\n続きのファイルを作成できません:\n%s\n\n録音の最後はこのファイルにあります:\n%s";

// Results of asking the input device whether it records the format.
inline constexpr char kInBadId[] = "デバイスIDがおかしい";
inline constexpr char kInAllocated[] = "すでに割り当てられている";
inline constexpr char kInNoDriver[] = "ドライバが無い";
inline constexpr char kInNoMemory[] = "メモリの割り当て等ができない";
inline constexpr char kInBadFormat[] = "サウンドドライバは、この形式を録音できません。";
inline constexpr char kInSync[] = "WAVE_ALLOWSYNCを指定してない";
inline constexpr char kInUnknown[] = "不明なエラー";

}  // namespace ja::files

// English texts that are not in the string table.
namespace en::files {
inline constexpr char kRecoverTail[] = "The recording in this file was cut off.\nRecover the %.1f sec after its end?";
inline constexpr char kSeriesStopped[] =
    "Recording stopped.\nThe next file cannot be made:\n%s\n\nThe end of the recording is in:\n%s";
inline constexpr char kRecoverTailMs[] = "The recording in this file was cut off.\nRecover the %lu msec after its end?";
}  // namespace en::files

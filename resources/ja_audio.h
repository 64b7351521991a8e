// Japanese texts of the transport, recording and playback (Shift-JIS in the
// binary).
#pragma once

namespace ja::audio {

// Data areas of a run.
inline constexpr char kNotEnoughMemory[] = "メモリ不足です。";
inline constexpr char kDataLockFailed[] = "データ チャンクのロックに失敗しました。%d %ld";
// The four wave headers of the main window.
inline constexpr char kHeaderAllocFailed[] = "ヘッダー確保失敗";
inline constexpr char kHeaderLockFailed[] = "ヘッダーロック失敗";
inline constexpr char kHeaderFailed[] = "ウェーブヘッダーの準備ができません";

// Buttons.
inline constexpr char kPlay[] = "再生";

// Recording.
inline constexpr char kCantOpenWaveIn[] = "音声入力デバイスを開けません。";
inline constexpr char kAllocatingMemory[] = "メモリ確保中";
inline constexpr char kAddBufferFailed[] = "バッファの登録に失敗";
inline constexpr char kRecording[] = "録音中";
inline constexpr char kRecFailed[] = "録音失敗";
inline constexpr char kDiskFull[] = "Disk Full or I/O Error!\n録音を中止しました";
inline constexpr char kReentered[] = "再入";
inline constexpr char kCantRecordFormat[] = "サウンドドライバは、この形式を録音できません。";
// A recording ended because the input delivered nothing, even started again.
inline constexpr char kRecordingStalled[] = "サウンドデバイスが応答しないため、録音を終了しました。";

// Playback.
// The open names a device in use differently from the format query.
inline constexpr char kOutputInUse[] = "他のソフトがサウンドを使っています。";
inline constexpr char kNoPlayDriver[] = "この形式を再生できるドライバがありません。";
inline constexpr char kReadingFile[] = "ファイル読み込み中";
inline constexpr char kWaveOutWriteFailed[] = "デバイスへの出力に失敗しました。";
inline constexpr char kCantReadData[] = "データチャンクを読み取れません。%d %ld";
// A playback ended because the device stopped handing its blocks back.
inline constexpr char kPlaybackStalled[] = "サウンドデバイスが応答しないため、再生を終了しました。";

// A run refused because the buffer time setting cannot be used.
inline constexpr char kBadDeltatime[] = "バッファ時間(deltatime)の設定が使えません。";

}  // namespace ja::audio

// English texts that are not in the string table.
namespace en::audio {
inline constexpr char kRecording[] = "Recording...";
inline constexpr char kBadDeltatime[] = "deltatime setting cannot be used";
inline constexpr char kPlaybackStalled[] = "sound device does not respond; playback ended";
inline constexpr char kRecordingStalled[] = "sound device does not respond; recording ended";
inline constexpr char kCont[] = "Cont";
inline constexpr char kPause[] = "Pause";
inline constexpr char kPlay[] = "Play";
}  // namespace en::audio

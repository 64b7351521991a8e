// Japanese texts of the level meter, the level report and the mixer level source.
#pragma once

namespace ja {
// Channel captions (full-width letters: 8 and 10 bytes).
inline constexpr char kMeterLeft[] = "ＬＥＦＴ";
inline constexpr char kMeterRight[] = "ＲＩＧＨＴ";

// Mixer level source.
inline constexpr char kMixerCantOpen[] = "ミキサーをオープンできない";
inline constexpr char kMixerCantGetLine[] = "ミキサーラインを獲得できない";
inline constexpr char kMixerCantGetControl[] = "ﾐｷｻｰｺﾝﾄﾛｰﾙを獲得できない";
inline constexpr char kMixerCantDisplayLevel[] = "レベル表示不可";
inline constexpr char kMixerCantGetLevel[] = "現在値を獲得できない";

// Level report.
inline constexpr char kReportMaxLevel[] = "最大ﾚﾍﾞﾙ %+.1fﾃﾞｼﾍﾞﾙ ";
inline constexpr char kReportOverTimes[] = "\nﾚﾍﾞﾙｵｰﾊﾞｰ回数 %ld回 ";
inline constexpr char kReportTooHigh[] = "\nレベルが高すぎます";
inline constexpr char kReportTooLow[] = "\nレベルが低すぎます";
inline constexpr char kReportMinusWord[] = "ﾏｲﾅｽ";
inline constexpr char kReportPlusWord[] = "ﾌﾟﾗｽ";
inline constexpr char kReportPointWord[] = "点";
// The dropouts of a recording: count, frames, seconds, then where they are.
inline constexpr char kDropoutLine[] = "音飛び %lu回: %sフレーム欠落 (%.1f秒)\n位置 %s秒";
// The status line while recording: the count so far, then the time lost.
inline constexpr char kDropoutStatus[] = "音飛び %lu回";
inline constexpr char kDropoutSeconds[] = "%.1f秒";
inline constexpr char kDropoutWholeSeconds[] = "%.0f秒";
}  // namespace ja

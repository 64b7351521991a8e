// Japanese texts of the file information and detail dialogs (Shift-JIS in the
// binary).
#pragma once

namespace ja {

// Information dialog.
inline constexpr char kInfoFrequency[] = "周波数";
inline constexpr char kInfoChannels[] = "ﾁｬﾝﾈﾙ数";
inline constexpr char kInfoBitRate[] = "ﾋﾞｯﾄﾚｰﾄ";
inline constexpr char kInfoBits[] = "ビット数";
inline constexpr char kInfoTotalTime[] = "時間";
inline constexpr char kInfoDataSize[] = "ﾃﾞｰﾀ ｻｲｽﾞ";
inline constexpr char kInfoDetail[] = "詳細(&D)";
inline constexpr char kInfoSecondsFormat[] = "%6.1f 秒";
inline constexpr char kInfoDecimalPoint[] = "点";

// Detail dialog.
inline constexpr char kDetailSizeNote[] = "FileSizeﾏｲﾅｽ8";
inline constexpr char kDetailMonaural[] = "モノラル";
inline constexpr char kDetailStereo[] = "ステレオ";
inline constexpr char kDetailChannelNote[] = "1:ﾓﾉ  2:ｽﾃﾚｵ";
inline constexpr char kDetailPeriodFormat[] = "%.0f ﾏｲｸﾛ秒";
inline constexpr char kDetailInfinitePeriod[] = "∞ 秒";
inline constexpr char kDetailBytesNote[] = "Sample×Block";
inline constexpr char kDetailAlignNote[] = "ﾁｬﾈﾙ×Bits/8";
inline constexpr char kDetailMillisecondsFormat[] = "%.3fミリ秒";
inline constexpr char kDetailUnknownTime[] = "不明 sec";

}  // namespace ja

// What the batch run tells its users: the log's fixed texts, the reasons a
// file failed (Japanese for the log, English for the command-line tool's
// messages), what a conversion made, and the summary of a run.
#pragma once

#include <cstdint>
#include <string>

#include "app/DimensionExplode.h"
#include "app/Intake.h"

namespace talvine {

struct TRunSummary;

inline constexpr char16_t kResultDone[] = u"変換完了";
inline constexpr char16_t kResultFailed[] = u"変換失敗";
inline constexpr char16_t kLogArrow[] = u"→ ";
inline constexpr char16_t kLogResultPrefix[] = u"\u3000\u2026\u2026 ";
inline constexpr char16_t kLogAborted[] = u"[ESC]を押しましたので中断します。";
inline constexpr char16_t kFolderMissingMessage[] = u"指定したフォルダが見つかりません。";
inline constexpr char16_t kFolderEmptyMessage[] = u"保存先のフォルダが指定されていません。";
inline constexpr char16_t kResultUnchanged[] = u"変換不要（寸法なし）";
inline constexpr char16_t kLogNothingWritten[] = u"→ （書き出しなし）";
inline constexpr char16_t kLogDetailPrefix[] = u"\u3000";
inline constexpr char16_t kLogReasonPrefix[] = u"\u3000原因：";
// A named input that is not converted (a folder without recursion, a file
// that is missing or not a drawing or figure).
inline constexpr char16_t kResultSkipped[] = u"スキップ";
// A file whose output a resumed run finds already written.
inline constexpr char16_t kResultResumed[] = u"変換済み（出力あり）";
// An output of an earlier run beside its source, without dimensions: a
// resumed run does not convert it again.
inline constexpr char16_t kResultEarlierOutput[] = u"変換済み（以前の出力）";
// A selection without a single drawing or figure.
inline constexpr char16_t kLogNoFiles[] = u"変換する .jww・.jws のファイルが見つかりませんでした";

// Why a file was not converted.
enum class TFileFailure {
    kNone,
    kNotJw,             // not a Jw_cad drawing or figure
    kWrongExtension,    // a figure named .jww or a drawing named .jws (detail: "jws" or "jww")
    kUnknownVersion,    // a drawing or figure of a version this program does not know
    kDamaged,           // damaged or incomplete
    kCannotRead,        // exists but cannot be read (permission)
    kVanished,          // no longer there
    kTooComplex,        // the block structure exceeds what the program handles
    kOutOfMemory,
    kOutputFolderMissing,  // the output folder does not exist (detail: the folder)
    kOutputNotWritable,    // the output folder cannot be written (detail: the folder)
    kDiskFull,             // no room for the output
    kNamesTaken,           // the name and every branch number are taken
    kCannotWrite,          // the output could not be written for another reason
    kVerifyFailed,         // read back, the output differs from what was written (detail: how)
    kCannotMakeFolder,     // an output folder could not be created (detail: the folder)
};

// Why a named input is not converted, in Japanese and in English.
std::u16string SkipText(TIntake::Refusal::Kind reason);
std::string SkipTextEnglish(TIntake::Refusal::Kind reason);
// "保存先のフォルダを作成しました：<folder>"
std::u16string FolderCreatedText(const std::string& folder);

// Why, in the user's words: Japanese for the log, English for messages of
// the command-line tool. Neither shows an internal error text.
std::u16string FailureText(TFileFailure failure, const std::string& detail);
std::string FailureTextEnglish(TFileFailure failure, const std::string& detail);
// "寸法 12（線 12・文字 10・点 8）", or "寸法なし".
std::u16string CountsText(const TExplodeCounts& counts);
// "未使用のブロック定義 66 を省略": block definitions that nothing places
// are not written.
std::u16string UnplacedText(int64_t definitions);

// The summary line: "変換 3・失敗 1・スキップ 0、寸法 15 を分解" (and "・変換済み 4"
// when a resumed run found outputs, "・未変換 2" after a stop,
// "、未使用のブロック定義 66 を省略" when outputs left any out),
// in Japanese and in English.
std::u16string SummaryText(const TRunSummary& s);
// The line a run stopped on request ends with: left files not converted.
std::u16string StoppedText(int left);
std::string SummaryTextEnglish(const TRunSummary& s);

}  // namespace talvine

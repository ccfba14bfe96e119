#include "app/RunTexts.h"

#include "app/BatchRun.h"

#include "util/Func_2.h"

namespace talvine {

namespace {

std::u16string U(const std::string& utf8) { return Utf8ToUtf16(utf8); }

}  // namespace

namespace {

// Every reason in both languages. Where a reason concerns something
// (detail), the text names it after a colon; a figure named .jww and a
// drawing named .jws have a text each (detail "jws" or "jww").
struct TReasonText {
    TFileFailure failure;
    const char16_t* japanese;
    const char* english;
    bool japaneseNamesDetail, englishNamesDetail;
};

constexpr TReasonText kReasons[] = {
    {TFileFailure::kNone, u"", "", false, false},
    {TFileFailure::kNotJw, u"Jw_cad の図面（.jww）・図形（.jws）ではありません",
     "not a Jw_cad drawing (.jww) or figure (.jws)", false, false},
    {TFileFailure::kUnknownVersion, u"対応していないバージョンのファイルです",
     "a Jw_cad file of a version this program does not know", false, false},
    {TFileFailure::kDamaged, u"ファイルが壊れているか、途中で切れています", "the file is damaged or incomplete", false,
     false},
    {TFileFailure::kCannotRead, u"ファイルを読めません（アクセス権がありません）", "permission denied", false, false},
    {TFileFailure::kVanished, u"ファイルが見つかりません（移動または削除されました）", "no such file (moved or deleted)",
     false, false},
    {TFileFailure::kTooComplex, u"ブロックの入れ子が複雑すぎて扱えません",
     "its blocks are nested too deeply or too often to convert", false, false},
    {TFileFailure::kOutOfMemory, u"メモリが足りません", "out of memory", false, false},
    {TFileFailure::kOutputFolderMissing, u"保存先のフォルダがありません", "the output folder does not exist", true, true},
    {TFileFailure::kOutputNotWritable, u"保存先のフォルダに書き込めません（アクセス権がありません）",
     "cannot write into the output folder (permission denied)", true, true},
    {TFileFailure::kDiskFull, u"保存先の空き容量が足りません", "no space left for the output", false, false},
    {TFileFailure::kNamesTaken, u"同じ名前のファイルが多すぎます（枝番 1～99999 がすべて使用済み）",
     "the name and every branch number up to 99999 are taken", false, false},
    {TFileFailure::kCannotWrite, u"保存先に書き込めませんでした", "the output could not be written", false, false},
    {TFileFailure::kVerifyFailed, u"検証に失敗", "the output failed its check and was removed", false, true},
    {TFileFailure::kCannotMakeFolder, u"保存先のフォルダを作れません", "cannot create the output folder", true, true},
};

constexpr TReasonText kFigureNamedJww{TFileFailure::kWrongExtension,
                                      u"中身は図形ファイル（.jws）です。拡張子を .jws にしてください",
                                      "the file is a figure (.jws) named .jww", false, false};
constexpr TReasonText kDrawingNamedJws{TFileFailure::kWrongExtension,
                                       u"中身は図面ファイル（.jww）です。拡張子を .jww にしてください",
                                       "the file is a drawing (.jww) named .jws", false, false};

const TReasonText* ReasonOf(TFileFailure failure, const std::string& detail) {
    if (failure == TFileFailure::kWrongExtension) return detail == "jws" ? &kFigureNamedJww : &kDrawingNamedJws;
    for (const TReasonText& r : kReasons)
        if (r.failure == failure) return &r;
    return nullptr;
}

}  // namespace

std::u16string FailureText(TFileFailure failure, const std::string& detail) {
    const TReasonText* r = ReasonOf(failure, detail);
    if (!r) return u"";
    std::u16string text = r->japanese;
    if (r->japaneseNamesDetail) {
        text += u"：";
        text += U(detail);
    }
    return text;
}

std::string FailureTextEnglish(TFileFailure failure, const std::string& detail) {
    const TReasonText* r = ReasonOf(failure, detail);
    if (!r) return "";
    std::string text = r->english;
    if (r->englishNamesDetail) text += ": " + detail;
    return text;
}

namespace {
std::u16string Num(int64_t n) { return U(std::to_string(n)); }

struct TSkipText {
    TIntake::Refusal::Kind reason;
    const char16_t* japanese;
    const char* english;
};
constexpr TSkipText kSkips[] = {
    {TIntake::Refusal::kFolder, u"フォルダです（中のファイルを変換するには -r を付けてください）",
     "a folder (use -r to convert the files in it)"},
    {TIntake::Refusal::kNotJwFile, u".jww・.jws のファイルではありません", "not a .jww or .jws file"},
    {TIntake::Refusal::kMissing, u"ファイルが見つかりません", "no such file"},
};
const TSkipText& SkipOf(TIntake::Refusal::Kind reason) {
    for (const TSkipText& t : kSkips)
        if (t.reason == reason) return t;
    return kSkips[0];
}
}  // namespace

std::u16string SkipText(TIntake::Refusal::Kind reason) { return SkipOf(reason).japanese; }
std::string SkipTextEnglish(TIntake::Refusal::Kind reason) { return SkipOf(reason).english; }

std::u16string FolderCreatedText(const std::string& folder) { return u"保存先のフォルダを作成しました：" + U(folder); }

std::u16string CountsText(const TExplodeCounts& c) {
    if (c.dimensions == 0) return u"寸法なし";
    return u"寸法 " + Num(c.dimensions) + u"（線 " + Num(c.lines) + u"・文字 " + Num(c.texts) + u"・点 " +
           Num(c.points) + u"）";
}

std::u16string UnplacedText(int64_t definitions) { return u"未使用のブロック定義 " + Num(definitions) + u" を省略"; }

std::u16string SummaryText(const TRunSummary& s) {
    std::u16string t = u"変換 " + Num(s.converted) + u"・失敗 " + Num(s.failed) + u"・スキップ " +
                       Num(s.skipped + s.unchanged);
    if (s.resumed > 0) t += u"・変換済み " + Num(s.resumed);
    if (s.aborted) t += u"・未変換 " + Num(s.left);
    t += u"、寸法 " + Num(s.dimensions) + u" を分解";
    if (s.unplacedDefinitions > 0) t += u"、" + UnplacedText(s.unplacedDefinitions);
    return t;
}

std::string SummaryTextEnglish(const TRunSummary& s) {
    std::string t = std::to_string(s.converted) + " converted, " + std::to_string(s.failed) + " failed, " +
                    std::to_string(s.skipped + s.unchanged) + " skipped";
    if (s.resumed > 0) t += ", " + std::to_string(s.resumed) + " already converted";
    if (s.aborted) t += ", " + std::to_string(s.left) + " not converted (interrupted)";
    t += "; " + std::to_string(s.dimensions) + (s.dimensions == 1 ? " dimension" : " dimensions") + " dissolved";
    if (s.unplacedDefinitions > 0)
        t += "; " + std::to_string(s.unplacedDefinitions) +
             (s.unplacedDefinitions == 1 ? " block definition" : " block definitions") +
             " that nothing places left out";
    return t;
}

std::u16string StoppedText(int left) { return u"中断しました。未変換のファイル " + Num(left) + u" 件"; }

}  // namespace talvine

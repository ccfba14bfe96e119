#include "app/RunReport.h"

#include <vector>

#include "app/FileInfo.h"
#include "util/Func_2.h"
#include "util/NumberText.h"

namespace talvine {

namespace {

constexpr const char* kColumns[] = {"source", "output", "result", "reason", "dimensions", "lines", "texts",
                                    "points", "unplaced_definitions", "bytes_in", "bytes_out", "milliseconds"};

// One row's values, in the order of kColumns; numbers marked as such.
struct TValue {
    std::string text;
    bool number = false;
};

TValue Text(const std::string& s) { return {s, false}; }
TValue Number(long long n) { return {std::to_string(n), true}; }

std::string Csv(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

std::string Line(TRunReport::Format format, const std::vector<TValue>& values) {
    std::string row;
    if (format == TRunReport::Format::kCsv) {
        for (size_t k = 0; k < values.size(); ++k) {
            if (k > 0) row += ',';
            row += values[k].number ? values[k].text : Csv(values[k].text);
        }
        return row + "\r\n";
    }
    row = "{";
    for (size_t k = 0; k < values.size(); ++k) {
        if (k > 0) row += ',';
        row += JsonString(kColumns[k]);
        row += ':';
        row += values[k].number ? values[k].text : JsonString(values[k].text);
    }
    return row + "}\n";
}

std::string Milliseconds(double ms) {
    return FixedText(ms < 0 ? 0.0 : ms, 1);
}

}  // namespace

bool TRunReport::FormatOf(const std::string& path, Format& format) {
    std::string ext;
    try {
        ext = GetLowerExt(path);
    } catch (const std::exception&) {
        return false;
    }
    if (ext == ".csv") format = Format::kCsv;
    else if (ext == ".jsonl" || ext == ".json") format = Format::kJsonLines;
    else return false;
    return true;
}

std::string TRunReport::Row(Format format, const TFileResult& r) {
    const char* result = r.resumed ? "resumed" : r.unchanged ? "unchanged" : r.done ? "converted" : "failed";
    const std::string reason = r.done || r.unchanged || r.resumed ? std::string()
                                                                  : Utf16ToUtf8(FailureText(r.failure, r.detail));
    const bool made = r.done;
    return Line(format, {Text(r.src), Text(r.dst), Text(result), Text(reason), Number(r.counts.dimensions),
                           Number(made ? r.counts.lines : 0), Number(made ? r.counts.texts : 0),
                           Number(made ? r.counts.points : 0), Number(made ? r.unplacedDefinitions : 0),
                           Number(r.bytesIn), Number(r.bytesOut), {Milliseconds(r.milliseconds), true}});
}

std::string TRunReport::Row(Format format, const TIntake::Refusal& refusal) {
    return Line(format, {Text(refusal.path), Text(""), Text("skipped"), Text(Utf16ToUtf8(SkipText(refusal.kind))),
                           Number(0), Number(0), Number(0), Number(0), Number(0), Number(0), Number(0),
                           {"0.0", true}});
}

bool TRunReport::Create(const std::string& path, std::string& error) {
    if (!FormatOf(path, format_)) {
        error = "the report must be named .csv, .jsonl or .json: " + path;
        return false;
    }
    if (platform::FileExists(path) || platform::DirExists(path)) {
        error = "the report exists, not replaced: " + path;
        return false;
    }
    file_ = platform::File::CreateNew(path);
    if (!file_.IsOpen()) {
        error = "cannot create the report: " + path;
        return false;
    }
    if (format_ == Format::kCsv) {
        std::string head = "\xEF\xBB\xBF";  // the byte-order mark
        for (size_t k = 0; k < std::size(kColumns); ++k) {
            if (k > 0) head += ',';
            head += kColumns[k];
        }
        head += "\r\n";
        Write(head);
    }
    return true;
}

void TRunReport::Write(const std::string& text) {
    if (file_.IsOpen() && !file_.Write(text.data(), text.size())) failed_ = true;
}

void TRunReport::Add(const TFileResult& r) { Write(Row(format_, r)); }
void TRunReport::Add(const TIntake::Refusal& refusal) { Write(Row(format_, refusal)); }

bool TRunReport::Close() {
    if (!file_.Close()) failed_ = true;
    return !failed_;
}

}  // namespace talvine

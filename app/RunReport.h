// A record of a run for a spreadsheet or a script: one row per file, as CSV
// (UTF-8 with a byte-order mark, so that Excel shows the Japanese names) or
// as JSON Lines (one object a line), told by the report's extension. Rows
// are written as the files finish, so that a stopped run leaves the record
// of what it did.
//
// Columns: source, output, result (converted, failed, unchanged, resumed,
// skipped), reason (the log's Japanese words), dimensions, lines, texts,
// points (what the dimensions became), unplaced_definitions (block
// definitions nothing places, not written), bytes_in, bytes_out,
// milliseconds.
#pragma once

#include <string>

#include "app/BatchRun.h"
#include "util/Platform.h"

namespace talvine {

class TRunReport {
public:
    enum class Format { kCsv, kJsonLines };
    // The format of a report at path: .csv, or .jsonl and .json (extension
    // in any case); false for any other name.
    static bool FormatOf(const std::string& path, Format& format);

    // Creates the report at path, never over an existing file, and writes
    // its head (the byte-order mark and the column names of a CSV). False
    // with a reason (English) in error.
    bool Create(const std::string& path, std::string& error);
    // One row: a file of the run, or a named input that was not converted.
    void Add(const TFileResult& r);
    void Add(const TIntake::Refusal& refusal);
    // Closes it; false when any row could not be written.
    bool Close();
    bool IsOpen() const { return file_.IsOpen(); }

    // The row of a file, as written (CSV ends in CR LF, JSON in LF).
    static std::string Row(Format format, const TFileResult& r);
    static std::string Row(Format format, const TIntake::Refusal& refusal);

private:
    void Write(const std::string& text);
    platform::File file_;
    Format format_ = Format::kCsv;
    bool failed_ = false;
};

}  // namespace talvine

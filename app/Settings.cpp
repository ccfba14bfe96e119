#include "app/Settings.h"

#include <vector>

#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine {

namespace {

// More than any settings file needs; a larger file is read this far.
constexpr size_t kMaxDatBytes = 1 << 20;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// True when bytes are well-formed UTF-8 (no overlongs, surrogates or values
// past U+10FFFF).
bool IsUtf8(const std::string& bytes) {
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        size_t len;
        char32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (size_t k = 1; k < len; ++k) {
            const auto d = static_cast<unsigned char>(bytes[i + k]);
            if (!IsContinuation(d)) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += len;
    }
    return true;
}

// A line of the file as text: UTF-8 as this program writes it, else the
// Windows code page 932 (the style name of a file from the Windows program
// is the only line that could hold such bytes).
std::u16string LineText(const std::string& bytes) {
    if (IsUtf8(bytes)) return Utf8ToUtf16(bytes);
    return AnsiBytesToStr(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Assigns line number (1-based) of the file.
void AssignLine(TSettings& s, int number, const std::u16string& line) {
    switch (number) {
        case 1: s.Fm1x = StrToIntDef0(line); break;
        case 2: s.Fm1y = StrToIntDef0(line); break;
        case 3: s.Fm1w = StrToIntDef0(line); break;
        case 4: s.Fm1h = StrToIntDef0(line); break;
        case 5:
        case 6:
        case 7:
        case 8:
        case 9: s.SetRadioButton(number - 4, StrToBool(line)); break;
        case 10: s.EditFl1 = DecodeHexUtf8(line); break;
        case 11: s.Label1 = DecodeHexUtf8(line); break;
        case 12: s.LabelPreFolder = DecodeHexUtf8(line); break;
        case 13: s.Fidx = StrToIntDef0(line); break;
        case 14: s.gstyle = line; break;
        case 15: s.CheckBox1 = StrToBool(line); break;
        default: break;
    }
}

// Splits the bytes into lines ended by CR LF, LF or a lone CR. complete
// says whether the bytes are the whole file: only then does a last line
// without its end count.
std::vector<std::string> SplitLines(const std::string& bytes, bool complete) {
    std::vector<std::string> lines;
    size_t start = 0;
    // A byte-order mark written by a text editor.
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    size_t i = start;
    while (i < bytes.size() && lines.size() < kDatLineCount) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(bytes.substr(start, i - start));
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (complete && start < bytes.size() && lines.size() < kDatLineCount) lines.push_back(bytes.substr(start));
    return lines;
}

std::string DatText(const TSettings& s) {
    std::u16string text;
    auto line = [&](const std::u16string& v) {
        text += v;
        text += u"\r\n";
    };
    line(IntToStrDec(s.Fm1x));
    line(IntToStrDec(s.Fm1y));
    line(IntToStrDec(s.Fm1w));
    line(IntToStrDec(s.Fm1h));
    for (int choice = 1; choice <= 5; ++choice) line(BoolToStr01(s.RadioButton(choice)));
    line(EncodeHexUtf8(s.EditFl1));
    line(EncodeHexUtf8(s.Label1));
    line(EncodeHexUtf8(s.LabelPreFolder));
    line(IntToStrDec(s.Fidx));
    // A name holding a line end would shift every line after it.
    std::u16string style;
    for (char16_t c : s.gstyle)
        if (c != u'\r' && c != u'\n') style += c;
    line(style);
    line(BoolToStr01(s.CheckBox1));
    return Utf16ToUtf8(text);
}

std::string FolderOf(const std::string& path) {
    size_t i = path.size();
    while (i > 0 && !platform::IsPathSeparator(static_cast<unsigned char>(path[i - 1]))) --i;
    return path.substr(0, i);
}

}  // namespace

void TSettings::SetRadioButton(int choice, bool checked) {
    if (checked)
        folderChoice = choice;
    else if (folderChoice == choice)
        folderChoice = 0;
}

TSettings DefaultSettings(const std::u16string& programFolder) {
    TSettings s;
    s.LabelPreFolder = programFolder;
    return s;
}

TSettings OpenDatFile(const std::string& path, const std::u16string& programFolder) {
    TSettings s = DefaultSettings(programFolder);
    if (!platform::FileExists(path)) return s;
    platform::File f = platform::File::OpenRead(path);
    if (!f.IsOpen()) return s;
    std::string bytes;
    bool complete = false;
    char buf[4096];
    while (bytes.size() < kMaxDatBytes) {
        const long long n = f.Read(buf, sizeof buf);
        if (n < 0) break;  // a read error: keep the lines read so far
        if (n == 0) {
            complete = true;
            break;
        }
        bytes.append(buf, static_cast<size_t>(n));
    }
    if (bytes.size() >= kMaxDatBytes) complete = true;
    f.Close();

    const std::vector<std::string> lines = SplitLines(bytes, complete);
    // At the end of a complete file the missing lines read as empty.
    const int count = complete ? kDatLineCount : static_cast<int>(lines.size());
    for (int i = 0; i < count; ++i)
        AssignLine(s, i + 1, i < static_cast<int>(lines.size()) ? LineText(lines[i]) : std::u16string());
    return s;
}

bool SaveDatFile(const std::string& path, const TSettings& settings) {
    if (path.empty()) return false;
    const std::string folder = FolderOf(path);
    if (!folder.empty()) platform::ForceDirectories(folder);
    const std::string text = DatText(settings);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string tmp =
            path + "." + std::to_string(platform::ProcessId()) + "-" + std::to_string(attempt) + ".tmp";
        platform::File f = platform::File::CreateNew(tmp);
        if (!f.IsOpen()) {
            if (platform::FileExists(tmp)) continue;  // a leftover of an earlier attempt
            return false;
        }
        const bool written = f.Write(text.data(), text.size());
        const bool closed = f.Close();
        if (written && closed && platform::RenameReplace(tmp, path)) return true;
        platform::RemoveFile(tmp);
        return false;
    }
    return false;
}

TSettingsFiles LocateSettingsFiles(const std::string& executablePath) {
    const std::string folder = FolderOf(executablePath);
    std::string name = executablePath.substr(folder.size());
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    if (name.empty()) name = "talvine";
    name += ".dat";

    TSettingsFiles files;
    files.load = files.save = folder + name;
    if (!IsInstalledProgramFolder(folder)) return files;
    files.load = files.save = platform::UserConfigDir("talvine") + name;
    return files;
}

bool IsInstalledProgramFolder(const std::string& folder) {
    if (folder.empty() || !platform::IsDirWritable(folder)) return true;
    std::string f = folder;
    while (!f.empty() && platform::IsPathSeparator(static_cast<unsigned char>(f.back()))) f.pop_back();
    return f.substr(FolderOf(f).size()) == "bin";
}

}  // namespace talvine

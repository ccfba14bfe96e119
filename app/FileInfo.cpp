#include "app/FileInfo.h"

#include <cstdio>
#include <memory>
#include <new>

#include "app/BatchRun.h"
#include "app/OpenSource.h"
#include "app/DimensionExplode.h"
#include "jws/JwsUnit.h"
#include "jww/JwwUnit.h"
#include "util/Func_2.h"
#include "util/NumberText.h"
#include "util/Platform.h"

namespace talvine {

namespace {

std::string Utf8(const std::u16string& s) { return Utf16ToUtf8(s); }

// Shortest form that reads back as the same value; "null" when not finite.
std::string Number(double v) {
    if (!IsFiniteNum(v)) return "null";
    if (v == 0) v = 0;  // no "-0"
    return ShortestText(v);
}

// A coordinate for people: millimetres to a thousandth, no "-0".
std::string Millimetres(double v) {
    if (!IsFiniteNum(v)) return "-";
    std::string t = FixedText(v, 3);
    while (t.find('.') != std::string::npos && (t.back() == '0' || t.back() == '.')) {
        const bool dot = t.back() == '.';
        t.pop_back();
        if (dot) break;
    }
    return t == "-0" ? "0" : t;
}

void AddParts(TFileInfo::Parts& p, const TArray<TEntJwwSunpo>& dims, int32_t n) {
    for (int32_t i = 0; i < n && static_cast<size_t>(i) < dims.size(); ++i) {
        const TEntJwwSunpo& d = dims[static_cast<size_t>(i)];
        const TExplodeCounts c = DimensionParts(d, true);
        p.dimensions += 1;
        p.texts += c.texts;
        p.lines += 1;
        p.extensionLines += c.lines - 1;
        p.endPoints += d.bSxfMode != 0 ? 2 : 0;
        p.referencePoints += d.bSxfMode != 0 ? 2 : 0;
    }
}

// Layer groups holding top-level entities, with their scales.
template <class Doc>
std::vector<TFileInfo::Scale> UsedScales(const Doc& d) {
    bool used[16] = {};
    auto mark = [&](const auto& arr, int32_t n) {
        for (int32_t i = 0; i < n && static_cast<size_t>(i) < arr.size(); ++i)
            used[arr[static_cast<size_t>(i)].att.nGLayer & 15] = true;
    };
    mark(d.EntLine, d.EntLineN);
    mark(d.EntEnko, d.EntEnkoN);
    mark(d.EntTen, d.EntTenN);
    mark(d.EntMoji, d.EntMojiN);
    mark(d.EntSunpo, d.EntSunpoN);
    mark(d.EntSolid, d.EntSolidN);
    mark(d.EntBlock, d.EntBlockN);
    std::vector<TFileInfo::Scale> scales;
    for (int g = 0; g < 16; ++g)
        if (used[g] && static_cast<size_t>(g) < d.EntLgrp.size()) scales.push_back({g, d.EntLgrp[static_cast<size_t>(g)].adScale});
    return scales;
}

// What both documents give the report.
void CollectCommon(TJwDocument& d, TFileInfo& info) {
    info.counts = d.GetElementNum(-1, -1);
    AddParts(info.drawingParts, d.EntSunpo, d.EntSunpoN);
    for (int32_t k = 0; k < d.EntBlockTreeN && static_cast<size_t>(k) < d.EntBlockTree.size(); ++k) {
        const int32_t defno = d.EntBlockTree[static_cast<size_t>(k)].defno;
        if (defno < 0 || defno >= d.EntBlockDefN || static_cast<size_t>(defno) >= d.EntBlockDef.size()) continue;
        const TEntJwwBlockDef& def = d.EntBlockDef[static_cast<size_t>(defno)];
        AddParts(info.blockParts, def.mSunpo, def.mSunpoN);
    }
    std::vector<int32_t> placements(d.EntBlockDef.size(), 0);
    for (int32_t k = 0; k < d.EntBlockTreeN && static_cast<size_t>(k) < d.EntBlockTree.size(); ++k) {
        const int32_t defno = d.EntBlockTree[static_cast<size_t>(k)].defno;
        if (defno >= 0 && static_cast<size_t>(defno) < placements.size()) ++placements[static_cast<size_t>(defno)];
    }
    for (int32_t i = 0; i < d.EntBlockDefN && static_cast<size_t>(i) < d.EntBlockDef.size(); ++i) {
        const TEntJwwBlockDef& def = d.EntBlockDef[static_cast<size_t>(i)];
        info.blockDefs.push_back({Utf8(def.strName), def.nNumber, placements[static_cast<size_t>(i)], def.ref_flag});
    }
    d.GetFontNames();
    for (int32_t i = 0; i < d.FontNameN && static_cast<size_t>(i) < d.FontNames.size(); ++i)
        info.fonts.push_back(Utf8(d.FontNames[static_cast<size_t>(i)]));
    for (int32_t i = 0; i < d.BindImageN && static_cast<size_t>(i) < d.BindImage.size(); ++i) {
        const TBindImageType& img = d.BindImage[static_cast<size_t>(i)];
        if (!img.Fname.empty()) info.images.push_back({Utf8(img.Fname), img.Fsize});
    }
}

std::string Int(long long v) { return std::to_string(v); }

struct KindCounts {
    int32_t lines, arcs, points, tempPoints, texts, dimensions, solids, inserts;
};
KindCounts DrawingCounts(const TJwDocument::TElementCounts& c) {
    return {c.n1, c.n2, c.n3, c.n4, c.n5, c.n6, c.n7, c.n8};
}
KindCounts BlockCounts(const TJwDocument::TElementCounts& c) {
    return {c.n1a, c.n2a, c.n3a, c.n4a, c.n5a, c.n6a, c.n7a, -1};
}

using PartCounts = TFileInfo::Parts;

std::string KindsText(const KindCounts& k) {
    std::string s = "lines " + Int(k.lines) + ", arcs " + Int(k.arcs) + ", points " + Int(k.points) +
                    ", temporary points " + Int(k.tempPoints) + ", texts " + Int(k.texts) + ", dimensions " +
                    Int(k.dimensions) + ", solids " + Int(k.solids);
    if (k.inserts >= 0) s += ", block inserts " + Int(k.inserts);
    return s;
}

std::string PartsText(const PartCounts& p) {
    return "dimensions " + Int(p.dimensions) + " -> texts " + Int(p.texts) + ", lines " + Int(p.lines) + ", extension lines " + Int(p.extensionLines) +
           ", end points " + Int(p.endPoints) + ", reference points " + Int(p.referencePoints);
}

std::string KindsJson(const KindCounts& k) {
    std::string s = "{\"lines\":" + Int(k.lines) + ",\"arcs\":" + Int(k.arcs) + ",\"points\":" + Int(k.points) +
                    ",\"temporary_points\":" + Int(k.tempPoints) + ",\"texts\":" + Int(k.texts) +
                    ",\"dimensions\":" + Int(k.dimensions) + ",\"solids\":" + Int(k.solids);
    if (k.inserts >= 0) s += ",\"block_inserts\":" + Int(k.inserts);
    return s + "}";
}

std::string PartsJson(const PartCounts& p) {
    return "{\"dimensions\":" + Int(p.dimensions) + ",\"texts\":" + Int(p.texts) + ",\"lines\":" + Int(p.lines) + ",\"extension_lines\":" +
           Int(p.extensionLines) + ",\"end_points\":" + Int(p.endPoints) + ",\"reference_points\":" +
           Int(p.referencePoints) + "}";
}

// A name in the text report: quoted, control characters shown as \u00XX.
std::string Quoted(const std::string& s) { return JsonString(s); }

}  // namespace

namespace {
bool CollectFileInfoOf(const std::string& path, TFileInfo& info, std::string& error);
}  // namespace

bool CollectFileInfo(const std::string& path, TFileInfo& info, std::string& error) {
    // A report that cannot be held in memory is a failure, not a crash.
    try {
        return CollectFileInfoOf(path, info, error);
    } catch (const std::bad_alloc&) {
        info = TFileInfo{};
        info.file = path;
        error = "out of memory";
        return false;
    }
}

namespace {
bool CollectFileInfoOf(const std::string& path, TFileInfo& info, std::string& error) {
    info = TFileInfo{};
    info.file = path;
    auto failed = [&](TJwFailure why) {
        error = FailureTextEnglish(ReadFailureOf(why, path), "");
        return false;
    };
    if (!FileExistsAt(path)) {
        error = platform::DirExists(path) ? "a folder, not a file" : "no such file";
        return false;
    }
    // The content alone tells which document reads the file.
    TSource source = OpenSource(path, false);
    if (source.failure != TFileFailure::kNone) {
        error = FailureTextEnglish(source.failure, "");
        return false;
    }
    if (source.kind == TJwKind::kDrawing) {
        auto d = std::make_unique<TJwwData>();
        d->BindImageExp = false;  // nothing is extracted
        d->BindImageExr = true;   // but the list of bound images is kept
        if (!d->FileIn(source.file, path)) return failed(d->LastFailure);
        info.format = "jww";
        info.scales = UsedScales(*d);
        info.version = d->Enthd.jwVer;
        if (!d->GetMinMaxZahyo()) return failed(d->LastFailure);
        info.hasPaper = true;
        d->GetPaperSize(info.paperWidth, info.paperHeight);
        info.minX = d->myMinWx, info.minY = d->myMinWy, info.maxX = d->myMaxWx, info.maxY = d->myMaxWy;
        CollectCommon(*d, info);
        return true;
    }
    {
        auto d = std::make_unique<TJwsData>();
        if (!d->FileIn(source.file, path)) return failed(d->LastFailure);
        info.format = "jws";
        info.scales = UsedScales(*d);
        info.version = d->Enthd.jwVer;
        if (!d->GetMinMaxZahyo()) return failed(d->LastFailure);
        info.minX = d->myMinWx, info.minY = d->myMinWy, info.maxX = d->myMaxWx, info.maxY = d->myMaxWy;
        CollectCommon(*d, info);
        return true;
    }
}
}  // namespace

std::string VersionText(int32_t version) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d.%02d", version / 100, version % 100);
    return buf;
}

std::string PaperName(double width, double height) {
    struct Paper {
        const char* name;
        double w, h;
    };
    static constexpr Paper kNames[] = {{"A0", 1189, 841}, {"A1", 841, 594},    {"A2", 594, 420},
                                       {"A3", 420, 297},  {"A4", 297, 210},    {"2A", 1682, 1189},
                                       {"3A", 2378, 1682}, {"4A", 3364, 2378}, {"5A", 4756, 3364}};
    for (const Paper& p : kNames)
        if (p.w == width && p.h == height) return p.name;
    return "";
}

namespace {

// Block definitions that nothing places: a conversion does not write them.
long long UnplacedCount(const TFileInfo& info) {
    long long n = 0;
    for (const auto& b : info.blockDefs) n += b.placed ? 0 : 1;
    return n;
}

}  // namespace

std::string FileInfoText(const TFileInfo& info) {
    const auto& c = info.counts;
    std::string s = info.file + "\n";
    s += "  format: " + info.format + (info.format == "jww" ? " (drawing)" : " (figure)") + ", version " +
         VersionText(info.version) + "\n";
    s += "  drawing: " + KindsText(DrawingCounts(c)) + "\n";
    s += "  in blocks: " + KindsText(BlockCounts(c)) + "\n";
    s += "  dimension parts in the drawing: " + PartsText(info.drawingParts) + "\n";
    s += "  dimension parts in blocks: " + PartsText(info.blockParts) + "\n";
    if (!info.scales.empty()) {
        s += "  scales:";
        for (size_t i = 0; i < info.scales.size(); ++i)
            s += std::string(i ? "," : "") + " group " + Int(info.scales[i].group) + " 1/" + Number(info.scales[i].scale);
        s += "\n";
    }
    s += "  extents: (" + Millimetres(info.minX) + ", " + Millimetres(info.minY) + ") - (" +
         Millimetres(info.maxX) + ", " + Millimetres(info.maxY) + ")\n";
    if (info.hasPaper) {
        const std::string name = PaperName(info.paperWidth, info.paperHeight);
        s += "  paper: " + (name.empty() ? "" : name + ", ") + Number(info.paperWidth) + " x " +
             Number(info.paperHeight) + " mm\n";
    }

    const long long defs = static_cast<long long>(info.blockDefs.size());
    const long long placed = defs - UnplacedCount(info);
    s += "  block definitions: " + Int(defs) + " (" + Int(placed) + " placed, " + Int(defs - placed) +
         " unplaced" + (defs > placed ? ", which a conversion leaves out" : "") + ")\n";
    for (const auto& b : info.blockDefs) {
        s += "    " + Quoted(b.name) + " number " + Int(b.number) + ": ";
        s += b.placed ? "placed " + Int(b.placements) + (b.placements == 1 ? " time\n" : " times\n")
                      : std::string("unplaced\n");
    }
    s += "  fonts: " + Int(static_cast<long long>(info.fonts.size())) + "\n";
    for (const auto& f : info.fonts) s += "    " + Quoted(f) + "\n";
    s += "  bound images: " + Int(static_cast<long long>(info.images.size())) + "\n";
    for (const auto& img : info.images) s += "    " + Quoted(img.name) + " (" + Int(img.size) + " bytes)\n";
    return s;
}

std::string FileInfoJson(const TFileInfo& info) {
    const auto& c = info.counts;
    std::string s = "{\"file\":" + JsonString(info.file) + ",\"format\":" + JsonString(info.format);
    s += ",\"version\":" + Int(info.version) + ",\"version_text\":" + JsonString(VersionText(info.version));
    s += ",\"drawing\":" + KindsJson(DrawingCounts(c));
    s += ",\"blocks\":" + KindsJson(BlockCounts(c));
    s += ",\"dimension_parts\":{\"drawing\":" + PartsJson(info.drawingParts) + ",\"blocks\":" +
         PartsJson(info.blockParts) + "}";
    s += ",\"scales\":[";
    for (size_t i = 0; i < info.scales.size(); ++i)
        s += std::string(i ? "," : "") + "{\"group\":" + Int(info.scales[i].group) + ",\"scale\":" +
             Number(info.scales[i].scale) + "}";
    s += "]";
    s += ",\"extents\":{\"min_x\":" + Number(info.minX) + ",\"min_y\":" + Number(info.minY) +
         ",\"max_x\":" + Number(info.maxX) + ",\"max_y\":" + Number(info.maxY) + "}";
    s += ",\"paper\":";
    s += info.hasPaper ? "{\"name\":" + (PaperName(info.paperWidth, info.paperHeight).empty()
                                               ? std::string("null")
                                               : JsonString(PaperName(info.paperWidth, info.paperHeight))) +
                             ",\"width\":" + Number(info.paperWidth) + ",\"height\":" + Number(info.paperHeight) + "}"
                       : std::string("null");
    s += ",\"block_definitions\":[";
    for (size_t i = 0; i < info.blockDefs.size(); ++i) {
        const auto& b = info.blockDefs[i];
        if (i) s += ",";
        s += "{\"name\":" + JsonString(b.name);
        s += ",\"number\":" + Int(b.number) + ",\"placed\":" + (b.placed ? "true" : "false") +
             ",\"placements\":" + Int(b.placements) + "}";
    }
    s += "],\"unplaced_definitions\":" + Int(UnplacedCount(info));
    s += ",\"fonts\":[";
    for (size_t i = 0; i < info.fonts.size(); ++i) {
        if (i) s += ',';
        s += JsonString(info.fonts[i]);
    }
    s += "],\"bound_images\":[";
    for (size_t i = 0; i < info.images.size(); ++i) {
        if (i) s += ",";
        s += "{\"name\":" + JsonString(info.images[i].name);
        s += ",\"size\":" + Int(info.images[i].size) + "}";
    }
    return s + "]}\n";
}

std::string FileInfoBrief(const TFileInfo& info) {
    // Drawing and placed blocks together, so that the counts of a source and
    // of its conversion can be set side by side.
    const auto& c = info.counts;
    const auto& a = info.drawingParts;
    const auto& b = info.blockParts;
    const int64_t dims = a.dimensions + b.dimensions;
    std::string s = info.file + ": " + (info.format == "jww" ? "drawing " : "figure ") + VersionText(info.version);
    s += ", lines " + Int(c.n1 + c.n1a) + ", texts " + Int(c.n5 + c.n5a) + ", points " +
         Int(c.n3 + c.n4 + c.n3a + c.n4a) + ", dimensions " + Int(dims);
    if (dims > 0)
        s += " (-> lines " + Int(a.lines + a.extensionLines + b.lines + b.extensionLines) + ", texts " +
             Int(a.texts + b.texts) + ", points " +
             Int(a.endPoints + a.referencePoints + b.endPoints + b.referencePoints) + ")";
    const long long defs = static_cast<long long>(info.blockDefs.size());
    s += ", " + Int(defs) + (defs == 1 ? " block definition" : " block definitions");
    if (const long long unplaced = UnplacedCount(info); unplaced > 0) s += " (" + Int(unplaced) + " unplaced)";
    if (info.hasPaper) {
        const std::string name = PaperName(info.paperWidth, info.paperHeight);
        s += ", paper " + (name.empty() ? Number(info.paperWidth) + " x " + Number(info.paperHeight) + " mm" : name);
    }
    return s + "\n";
}

void TInventory::Add(const TFileInfo& info) {
    ++read;
    const int64_t dims = info.drawingParts.dimensions + info.blockParts.dimensions;
    if (dims > 0) ++withDimensions;
    dimensions += dims;
    ++versions[(info.format == "jww" ? "drawing " : "figure ") + VersionText(info.version)];
}

void TInventory::AddUnreadable(const std::string& file, const std::string& reason) {
    unreadable.push_back({file, reason});
}

namespace {
std::string Files(int64_t n) { return Int(n) + (n == 1 ? " file" : " files"); }
}  // namespace

std::string InventoryText(const TInventory& v) {
    const int64_t all = v.read + static_cast<int64_t>(v.unreadable.size());
    std::string s = "summary: " + Int(v.read) + " of " + Files(all) + " read, " + Int(v.withDimensions) +
                    " with dimensions, " + Int(v.dimensions) + (v.dimensions == 1 ? " dimension" : " dimensions") +
                    " in all\n";
    for (const auto& [version, n] : v.versions) s += "  " + version + ": " + Files(n) + "\n";
    if (!v.unreadable.empty()) {
        s += "  unreadable: " + Files(static_cast<int64_t>(v.unreadable.size())) + "\n";
        for (const auto& u : v.unreadable) s += "    " + u.file + ": " + u.reason + "\n";
    }
    return s;
}

std::string InventoryJson(const TInventory& v) {
    std::string s = "{\"summary\":{\"files\":" + Int(v.read + static_cast<int64_t>(v.unreadable.size())) +
                    ",\"read\":" + Int(v.read) + ",\"withDimensions\":" + Int(v.withDimensions) +
                    ",\"dimensions\":" + Int(v.dimensions) + ",\"versions\":{";
    bool first = true;
    for (const auto& [version, n] : v.versions) {
        if (!first) s += ',';
        first = false;
        s += JsonString(version) + ":" + Int(n);
    }
    s += "},\"unreadable\":[";
    for (size_t k = 0; k < v.unreadable.size(); ++k) {
        if (k > 0) s += ',';
        s += "{\"file\":" + JsonString(v.unreadable[k].file) + ",\"reason\":" + JsonString(v.unreadable[k].reason) +
             "}";
    }
    return s + "]}}\n";
}

std::string JsonString(const std::string& utf8) {
    // Through UTF-16 and back: ill-formed sequences become U+FFFD.
    const std::string text = Utf16ToUtf8(Utf8ToUtf16(utf8));
    std::string out = "\"";
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += ch;
        } else if (b < 0x20 || b == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", b);
            out += esc;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

}  // namespace talvine

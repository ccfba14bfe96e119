#include "app/FileInfo.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <new>

#include "jws/JwsUnit.h"
#include "jww/JwwUnit.h"
#include "util/Func_2.h"

namespace talvine {

namespace {

std::string Utf8(const std::u16string& s) { return Utf16ToUtf8(s); }

// Shortest form that reads back as the same value; "null" when not finite.
std::string Number(double v) {
    if (!IsFiniteNum(v)) return "null";
    if (v == 0) v = 0;  // no "-0"
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// A coordinate for people: millimetres to a thousandth, no "-0".
std::string Millimetres(double v) {
    if (!IsFiniteNum(v)) return "-";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    std::string t = buf;
    while (t.find('.') != std::string::npos && (t.back() == '0' || t.back() == '.')) {
        const bool dot = t.back() == '.';
        t.pop_back();
        if (dot) break;
    }
    return t == "-0" ? "0" : t;
}

// What both documents give the report.
void CollectCommon(TJwDocument& d, TFileInfo& info) {
    info.counts = d.GetElementNum(-1, -1);
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

std::string ReadFailure(const std::string& lastError) {
    return "the file is damaged or incomplete" + (lastError.empty() ? std::string() : " (" + lastError + ")");
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

struct PartCounts {
    int32_t texts, lines, extensionLines, endPoints, referencePoints;
};
PartCounts DrawingParts(const TJwDocument::TElementCounts& c) {
    return {c.ns1, c.ns2, c.ns3 + c.ns4, c.ns5 + c.ns6, c.ns7 + c.ns8};
}
PartCounts BlockParts(const TJwDocument::TElementCounts& c) {
    return {c.ns1a, c.ns2a, c.ns3a + c.ns4a, c.ns5a + c.ns6a, c.ns7a + c.ns8a};
}

std::string KindsText(const KindCounts& k) {
    std::string s = "lines " + Int(k.lines) + ", arcs " + Int(k.arcs) + ", points " + Int(k.points) +
                    ", temporary points " + Int(k.tempPoints) + ", texts " + Int(k.texts) + ", dimensions " +
                    Int(k.dimensions) + ", solids " + Int(k.solids);
    if (k.inserts >= 0) s += ", block inserts " + Int(k.inserts);
    return s;
}

std::string PartsText(const PartCounts& p) {
    return "texts " + Int(p.texts) + ", lines " + Int(p.lines) + ", extension lines " + Int(p.extensionLines) +
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
    return "{\"texts\":" + Int(p.texts) + ",\"lines\":" + Int(p.lines) + ",\"extension_lines\":" +
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
    if (!FileExistsAt(path)) {
        error = "no such file";
        return false;
    }
    if (TJwwData::FileCheck(path)) {
        auto d = std::make_unique<TJwwData>();
        d->BindImageExp = false;  // nothing is extracted
        d->BindImageExr = true;   // but the list of bound images is kept
        if (!d->FileIn(path)) {
            error = ReadFailure(d->LastError);
            return false;
        }
        info.format = "jww";
        info.version = d->Enthd.jwVer;
        if (!d->GetMinMaxZahyo()) {
            error = ReadFailure(d->LastError);
            return false;
        }
        info.hasPaper = true;
        d->GetPaperSize(info.paperWidth, info.paperHeight);
        info.minX = d->myMinWx, info.minY = d->myMinWy, info.maxX = d->myMaxWx, info.maxY = d->myMaxWy;
        CollectCommon(*d, info);
        return true;
    }
    if (TJwsData::FileCheck(path)) {
        auto d = std::make_unique<TJwsData>();
        if (!d->FileIn(path)) {
            error = ReadFailure(d->LastError);
            return false;
        }
        info.format = "jws";
        info.version = d->Enthd.jwVer;
        if (!d->GetMinMaxZahyo()) {
            error = ReadFailure(d->LastError);
            return false;
        }
        info.minX = d->myMinWx, info.minY = d->myMinWy, info.maxX = d->myMaxWx, info.maxY = d->myMaxWy;
        CollectCommon(*d, info);
        return true;
    }
    error = "not a Jw_cad drawing (.jww) or figure (.jws) of a known version";
    return false;
}
}  // namespace

std::string FileInfoText(const TFileInfo& info) {
    const auto& c = info.counts;
    std::string s = info.file + "\n";
    s += "  format: " + info.format + (info.format == "jww" ? " (drawing)" : " (figure)") + ", version " +
         Int(info.version) + "\n";
    s += "  drawing: " + KindsText(DrawingCounts(c)) + "\n";
    s += "  in blocks: " + KindsText(BlockCounts(c)) + "\n";
    s += "  dimension parts in the drawing: " + PartsText(DrawingParts(c)) + "\n";
    s += "  dimension parts in blocks: " + PartsText(BlockParts(c)) + "\n";
    s += "  extents: (" + Millimetres(info.minX) + ", " + Millimetres(info.minY) + ") - (" +
         Millimetres(info.maxX) + ", " + Millimetres(info.maxY) + ")\n";
    if (info.hasPaper) s += "  paper: " + Number(info.paperWidth) + " x " + Number(info.paperHeight) + " mm\n";

    int placed = 0;
    for (const auto& b : info.blockDefs) placed += b.placed ? 1 : 0;
    const long long defs = static_cast<long long>(info.blockDefs.size());
    s += "  block definitions: " + Int(defs) + " (" + Int(placed) + " placed, " + Int(defs - placed) +
         " unplaced)\n";
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
    s += ",\"version\":" + Int(info.version);
    s += ",\"drawing\":" + KindsJson(DrawingCounts(c));
    s += ",\"blocks\":" + KindsJson(BlockCounts(c));
    s += ",\"dimension_parts\":{\"drawing\":" + PartsJson(DrawingParts(c)) + ",\"blocks\":" + PartsJson(BlockParts(c)) +
         "}";
    s += ",\"extents\":{\"min_x\":" + Number(info.minX) + ",\"min_y\":" + Number(info.minY) +
         ",\"max_x\":" + Number(info.maxX) + ",\"max_y\":" + Number(info.maxY) + "}";
    s += ",\"paper\":";
    s += info.hasPaper ? "{\"width\":" + Number(info.paperWidth) + ",\"height\":" + Number(info.paperHeight) + "}"
                       : std::string("null");
    s += ",\"block_definitions\":[";
    for (size_t i = 0; i < info.blockDefs.size(); ++i) {
        const auto& b = info.blockDefs[i];
        if (i) s += ",";
        s += "{\"name\":" + JsonString(b.name);
        s += ",\"number\":" + Int(b.number) + ",\"placed\":" + (b.placed ? "true" : "false") +
             ",\"placements\":" + Int(b.placements) + "}";
    }
    s += "],\"fonts\":[";
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

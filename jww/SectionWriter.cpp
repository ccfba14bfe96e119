// Writing the entity section shared by drawings and figures (the layout is
// described in SectionReader.cpp). The writer numbers classes and objects
// itself, skips empty and dangling order entries, stores only the block
// definitions in use under their new numbers, and, for versions below 420,
// splits SXF dimensions of a newer document into plain lines and points.
#include <cstring>
#include <initializer_list>
#include <unordered_map>

#include "jww/Archive.h"
#include "jww/EntityRecords.h"
#include "jww/JwDocument.h"
#include "jww/JwwFormat.h"
#include "jww/WrittenTally.h"
#include "util/Func_2.h"
#include "util/ImageText.h"

namespace talvine {

namespace {

// An entry of the drawing order that refers to an entity of its lists: the
// writer writes only those.
bool IsWrittenEntry(const TEntityView& L, const TEntJwwNo& e) {
    if (e.EntNo < 0) return false;
    switch (e.EntType) {
        case kEntLine: return e.EntNo < L.LineN;
        case kEntEnko: return e.EntNo < L.EnkoN;
        case kEntTen: return e.EntNo < L.TenN;
        case kEntMoji: return e.EntNo < L.MojiN;
        case kEntSunpo: return e.EntNo < L.SunpoN;
        case kEntSolid: return e.EntNo < L.SolidN;
        case kEntBlock: return e.EntNo < L.BlockN;
        default: return false;
    }
}

constexpr int kClassBlockDef = 8;  // class slot of "CDataList"

bool StartsWith(const std::u16string& s, const std::u16string& prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// True when SanitizeText leaves the text as it is: no character below
// U+0020 and no "^m" or backslash-n pair.
bool IsClean(const std::u16string& s) {
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c < 0x20) return false;
        if ((c == u'^' || c == u'\\') && i + 1 < s.size() && s[i + 1] == (c == u'^' ? u'm' : u'n')) return false;
    }
    return true;
}

// The string of a text as stored: cleaned, then option bits 16, 8 and 1.
// Dimension texts (entityText false) take bit 16 only. Most texts need
// none of it and are given back as they are; the others are made in
// scratch.
std::u16string_view PrepareText(const std::u16string& text, int opt, bool entityText, std::u16string& scratch) {
    const int bits = entityText ? opt & (16 | 8 | 1) : opt & 16;
    if (bits == 0 && IsClean(text)) return text;
    std::u16string& s = scratch;
    s = SanitizeText(text);
    if (opt & 16) s = ApplyTextSubstitution(s);
    if (!entityText) return s;
    if ((opt & 8) && StartsWith(s, kBoundImageTextPrefix)) s = kImageTextPrefix + s.substr(kBoundImageTextPrefix.size());
    if (opt & 1) {
        if (std::optional<TImageText> image = SplitImageText(s)) {
            image->name = ExtractFileNameSafe(image->name);
            s = image->Text();
        }
    }
    return s;
}

// A font name or definition name as stored: cleaned.
std::u16string_view CleanText(const std::u16string& text, std::u16string& scratch) {
    if (IsClean(text)) return text;
    scratch = SanitizeText(text);
    return scratch;
}

class SectionWriter {
public:
    SectionWriter(ArchiveWriter& out, int ver, int docVer, int opt, const TJwDocument& doc)
        : out_(out), ver_(ver), opt_(opt), splitSxf_(ver < fmt::kVer420 && docVer >= fmt::kVer420) {
        // Number each definition number resolves to: the first definition
        // with that number decides (see ChangeBlockNo).
        for (int i = 0; i < doc.EntBlockDefN && i < static_cast<int>(doc.EntBlockDef.size()); ++i) {
            const auto& d = doc.EntBlockDef[static_cast<size_t>(i)];
            blockNo_.try_emplace(d.nNumber, d.ref_flag ? static_cast<uint32_t>(d.ref_no) : d.nNumber);
        }
    }

    int32_t CountObjects(const TEntityView& L, int32_t n) const;
    void WriteObjects(const TEntityView& L, int32_t n);
    void WriteBlockDef(const TEntJwwBlockDef& d);

private:
    static bool Valid(const TEntityView& L, const TEntJwwNo& e);
    void ClassTag(int slot, const char* name);
    void WriteSunpo(const TEntJwwSunpo& e);
    uint32_t BlockNumber(uint32_t n) const {
        auto it = blockNo_.find(n);
        return it == blockNo_.end() ? 0 : it->second;
    }

    ArchiveWriter& out_;
    int ver_;
    int opt_;
    bool splitSxf_;
    uint32_t classIndex_[9] = {};  // EntKind 1..7 and kClassBlockDef; 0 = not written yet
    uint32_t running_ = 1;
    std::unordered_map<uint32_t, uint32_t> blockNo_;
    std::u16string font_, text_;  // texts as stored, when they differ from the document's
};

bool SectionWriter::Valid(const TEntityView& L, const TEntJwwNo& e) { return IsWrittenEntry(L, e); }


int32_t SectionWriter::CountObjects(const TEntityView& L, int32_t n) const {
    int32_t count = 0;
    const int32_t m = std::min<int32_t>(n, static_cast<int32_t>(L.No.size()));
    for (int32_t i = 0; i < m; ++i) {
        const TEntJwwNo& e = L.No[static_cast<size_t>(i)];
        if (!Valid(L, e)) continue;
        const bool split = splitSxf_ && e.EntType == kEntSunpo && L.Sunpo[static_cast<size_t>(e.EntNo)].bSxfMode != 0;
        count += split ? 7 : 1;
    }
    return count;
}

void SectionWriter::ClassTag(int slot, const char* name) {
    if (classIndex_[slot] == 0) {
        out_.NewClassOut(static_cast<uint16_t>(ver_), name);
        classIndex_[slot] = running_++;
    } else {
        out_.ClassRefOut(classIndex_[slot]);
    }
}

void SectionWriter::WriteSunpo(const TEntJwwSunpo& e) {
    const int v = ver_;
    out_.AttrOut(v, e.att, kEntSunpo);
    WriteLineRec(out_, v, e.Sen);
    WriteMojiRec(out_, v, e.Moji, CleanText(e.Moji.strFontName, font_), PrepareText(e.Moji.str, opt_, false, text_));
    if (v >= fmt::kVer420) {
        out_.U16(e.bSxfMode);
        WriteLineRec(out_, v, e.Ho1);
        WriteLineRec(out_, v, e.Ho2);
        WriteTenRec(out_, v, e.Te1, e.Te1.bKariten);
        WriteTenRec(out_, v, e.Te2, e.Te2.bKariten);
        WriteTenRec(out_, v, e.Kt1, e.Kt1.bKariten);
        WriteTenRec(out_, v, e.Kt2, e.Kt2.bKariten);
    }
    ++running_;
    if (splitSxf_ && e.bSxfMode != 0) {
        // The SXF parts become objects of their own; the reference points
        // become temporary points.
        for (const TEntJwwLine* ho : {&e.Ho1, &e.Ho2}) {
            ClassTag(kEntLine, fmt::kClassNames[kEntLine]);
            WriteLineRec(out_, v, *ho);
            ++running_;
        }
        for (const TEntJwwTen* te : {&e.Te1, &e.Te2, &e.Kt1, &e.Kt2}) {
            ClassTag(kEntTen, fmt::kClassNames[kEntTen]);
            WriteTenRec(out_, v, *te, (te == &e.Kt1 || te == &e.Kt2) ? 1u : te->bKariten);
            ++running_;
        }
    }
}

void SectionWriter::WriteObjects(const TEntityView& L, int32_t n) {
    const int v = ver_;
    const int32_t m = std::min<int32_t>(n, static_cast<int32_t>(L.No.size()));
    for (int32_t i = 0; i < m; ++i) {
        const TEntJwwNo& e = L.No[static_cast<size_t>(i)];
        if (!Valid(L, e)) continue;
        const size_t k = static_cast<size_t>(e.EntNo);
        ClassTag(e.EntType, fmt::kClassNames[e.EntType]);
        switch (e.EntType) {
            case kEntLine: WriteLineRec(out_, v, L.Line[k]); break;
            case kEntEnko: WriteEnkoRec(out_, v, L.Enko[k]); break;
            case kEntTen: WriteTenRec(out_, v, L.Ten[k], L.Ten[k].bKariten); break;
            case kEntMoji: {
                const TEntJwwMoji& t = L.Moji[k];
                WriteMojiRec(out_, v, t, CleanText(t.strFontName, font_), PrepareText(t.str, opt_, true, text_));
                break;
            }
            case kEntSunpo: WriteSunpo(L.Sunpo[k]); continue;  // counts its own objects
            case kEntSolid: WriteSolidRec(out_, v, L.Solid[k]); break;
            case kEntBlock: WriteBlockRec(out_, v, L.Block[k], BlockNumber(L.Block[k].nNumber)); break;
        }
        ++running_;
    }
}

void SectionWriter::WriteBlockDef(const TEntJwwBlockDef& d) {
    ClassTag(kClassBlockDef, fmt::kBlockDefClass);
    out_.AttrOut(ver_, d.att, kAttrKindBlockDef);
    out_.U32(BlockNumber(d.nNumber));
    out_.U32(d.bRefferd);
    out_.U32(d.dtime);
    out_.StringOut(CleanText(d.strName, text_));
    const TEntityView L = ListsOf(d);
    out_.CountOut(CountObjects(L, d.N));
    ++running_;
    WriteObjects(L, d.N);
}

}  // namespace

namespace {

// Adds the values to a running hash (64-bit FNV-1a over whole values);
// -0 counts as 0, every NaN alike.
void AddPlaces(uint64_t& hash, std::initializer_list<double> values) {
    for (double v : values) {
        if (v == 0) v = 0;
        uint64_t bits = 0;
        if (v == v) std::memcpy(&bits, &v, sizeof bits);
        else bits = 0x7FF8000000000000ull;
        hash = (hash ^ bits) * 0x100000001B3ull;
    }
}

void AddPlacesOf(const TEntityView& L, const TEntJwwNo& e, uint64_t* places) {
    const size_t k = static_cast<size_t>(e.EntNo);
    uint64_t& hash = places[e.EntType];
    switch (e.EntType) {
        case kEntLine: {
            const TEntJwwLine& l = L.Line[k];
            AddPlaces(hash, {l.start_x, l.start_y, l.end_x, l.end_y});
            break;
        }
        case kEntEnko: {
            const TEntJwwEnko& a = L.Enko[k];
            AddPlaces(hash, {a.start_x, a.start_y, a.dHankei, a.radKaishiKaku, a.radEnkoKaku, a.radKatamukiKaku,
                            a.dHenpeiRitsu});
            break;
        }
        case kEntTen: AddPlaces(hash, {L.Ten[k].start_x, L.Ten[k].start_y}); break;
        case kEntMoji: {
            const TEntJwwMoji& t = L.Moji[k];
            // The sizes as the writer stores them.
            AddPlaces(hash, {t.start_x, t.start_y, t.end_x, t.end_y, ClampTextSize(t.dSizeX), ClampTextSize(t.dSizeY),
                            t.dKankaku, t.degKakudo});
            break;
        }
        case kEntSolid: {
            const TEntJwwSolid& s = L.Solid[k];
            AddPlaces(hash, {s.start_x, s.start_y, s.end_x, s.end_y, s.DPoint2_x, s.DPoint2_y, s.DPoint3_x,
                            s.DPoint3_y});
            break;
        }
        case kEntBlock: {
            const TEntJwwBlock& b = L.Block[k];
            AddPlaces(hash, {b.DPKijunTen_x, b.DPKijunTen_y, b.dBairitsuX, b.dBairitsuY, b.radKaitenKaku});
            break;
        }
        default: break;
    }
}

}  // namespace

TWrittenTally WrittenTallyOf(const TJwDocument& doc) {
    TWrittenTally t;
    auto tally = [&t](const TEntityView& L, int32_t n, int64_t* into) {
        const int32_t m = std::min<int32_t>(n, static_cast<int32_t>(L.No.size()));
        for (int32_t i = 0; i < m; ++i) {
            const TEntJwwNo& e = L.No[static_cast<size_t>(i)];
            if (!IsWrittenEntry(L, e)) continue;
            ++into[e.EntType];
            AddPlacesOf(L, e, t.places);
        }
    };
    tally(doc.TopLists(), doc.HeaderN1(), t.top);
    const int32_t defs = std::min<int32_t>(doc.HeaderN2(), static_cast<int32_t>(doc.EntBlockDef.size()));
    for (int32_t i = 0; i < defs; ++i) {
        const TEntJwwBlockDef& d = doc.EntBlockDef[static_cast<size_t>(i)];
        if (!d.ref_flag) continue;
        ++t.definitions;
        tally(ListsOf(d), d.N, t.blocks);
    }
    return t;
}

void TJwDocument::WriteEntitySection(ArchiveWriter& out, int ver, int docVer, int32_t n1, int32_t n2,
                                     TWrittenFile& written) const {
    written.headerSize = out.BytesSoFar();
    SectionWriter writer(out, ver, docVer, FileOutOpt, *this);
    const TEntityView top = TopLists();
    out.CountOut(writer.CountObjects(top, n1));
    writer.WriteObjects(top, n1);

    // The count announces exactly the definitions written below.
    const int32_t defs = std::min<int32_t>(n2, static_cast<int32_t>(EntBlockDef.size()));
    int32_t referenced = 0;
    for (int32_t i = 0; i < defs; ++i) referenced += EntBlockDef[static_cast<size_t>(i)].ref_flag ? 1 : 0;
    out.CountOut(referenced);
    written.definitionsLeftOut = defs - referenced;
    for (int32_t i = 0; i < defs; ++i) {
        const TEntJwwBlockDef& d = EntBlockDef[static_cast<size_t>(i)];
        if (d.ref_flag) writer.WriteBlockDef(d);
    }
}

}  // namespace talvine

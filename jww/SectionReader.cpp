// Reading the entity section shared by drawings and figures:
//
//   count               entity count (count form)
//   count x object      class tag + one entity layout (EntityRecords.h)
//   u16 [+ int32]       block-definition count (0xFFFF: an int32 follows)
//   n x definition      class tag + "CDataList" head + name + member count
//                       + members (class tag + entity layout each)
//
// One running index numbers classes and objects through the whole section:
// a new class takes the current index, every entity object takes one after
// it is read, and a definition takes one after its head and member count.
//
// A preview read passes a tag budget: before each class tag of the entity
// list or of a member list the tags read so far are compared with it, and
// the list ends when it is used up; definitions are read only while budget
// is left (their own heads take none).
#include <algorithm>
#include <cstring>

#include "jww/Archive.h"
#include "jww/EntityRecords.h"
#include "jww/JwDocument.h"
#include "jww/JwwFormat.h"

namespace talvine {

namespace {

// Smallest number of bytes a complete entity object can occupy (a point of a
// version-350 file: 2-byte tag and 33 bytes), and a block definition (tag,
// 25-byte head, empty name, member count). Counts that the rest of the file
// cannot possibly hold are rejected before anything is allocated for them.
constexpr long long kMinObjectBytes = 2 + 33;
constexpr long long kMinBlockDefBytes = 2 + 25 + 1 + 2;

void CheckPlausibleCount(const ArchiveReader& in, int64_t count, long long minBytes) {
    if (count < 0) throw JwIoError(fmt::kErrIo);
    const long long left = in.Remaining();
    // Every object but a truncated last one needs minBytes.
    if (left >= 0 && count > left / minBytes + 1) throw JwIoError(fmt::kErrIo);
}

// The most objects of record bytes each that the data left can hold, and
// no more than left.
size_t BoundBy(long long remaining, size_t record, int32_t left) {
    const size_t objects = left > 0 ? static_cast<size_t>(left) : 0;
    if (remaining < 0) return objects;
    return std::min(objects, static_cast<size_t>(remaining) / record + 1);
}

int32_t ReadCount(ArchiveReader& in) {
    uint16_t c = in.U16();
    return c == 0xFFFF ? in.I32() : c;
}

class SectionReader {
public:
    SectionReader(ArchiveReader& in, int ver, int64_t tagBudget)
        : in_(in), ver_(ver), tagBudget_(tagBudget < 0 ? 0 : tagBudget) {}

    // Reads count objects into lists (whose No is sized to count). With a
    // tag budget the list ends early once the budget is used up.
    void ReadObjects(TEntityLists L, int32_t count, bool member);
    void ReadBlockDef(TEntJwwBlockDef& d, int position);
    // True once an entity was dropped because the data ended inside it.
    bool Truncated() const { return truncated_; }
    // True when the tag budget is used up.
    bool BudgetUsedUp() const { return tagsRead_ >= tagBudget_; }
    // True once the budget ended a list before its last object.
    bool Cut() const { return cut_; }

private:
    // Reads a class name after a new-class tag; returns its bytes.
    std::string ReadClassName();
    template <class T, class F>
    void ReadInto(TArray<T>& arr, int32_t& n, TEntityLists& L, int32_t& order, int kind, int32_t left, F read);
    // The most entities of kind that the rest of a list of left objects
    // can hold, going by the data left and the smallest record of the kind.
    size_t AtMost(int kind, int32_t left) const;

    ArchiveReader& in_;
    int ver_;
    uint32_t classIndex_[8] = {};  // per EntKind; 0 = not seen yet
    uint32_t running_ = 1;
    bool truncated_ = false;
    int64_t tagBudget_;
    int64_t tagsRead_ = 0;  // class tags of objects read, counted or not
    bool cut_ = false;
    char scratch_[fmt::kScratchSize];
};

std::string SectionReader::ReadClassName() {
    in_.U16();  // schema number, not used
    const uint16_t len = in_.U16();
    if (len >= fmt::kScratchSize) throw JwIoError(fmt::kErrIo);  // longer than any class name can be
    in_.Read(scratch_, len);
    return std::string(scratch_, len);
}

size_t SectionReader::AtMost(int kind, int32_t left) const {
    // Every attribute block is two bytes shorter before version 351.
    const size_t shrink = ver_ >= fmt::kVer351 ? 0 : fmt::kAttrSize - fmt::kAttrSizeOld;
    size_t record = 0;
    switch (kind) {
        case kEntLine: record = fmt::kLineSize; break;
        case kEntEnko: record = fmt::kEnkoSize; break;
        case kEntTen: record = fmt::kTenSize; break;
        case kEntMoji: record = fmt::kMojiFixedSize + 2; break;  // two empty strings
        case kEntSunpo:
            // Its attributes, line and text; from 420 the SXF part.
            record = fmt::kAttrSize + fmt::kLineSize + fmt::kMojiFixedSize + 2 - 3 * shrink;
            if (ver_ >= fmt::kVer420) record += 2 + 2 * fmt::kLineSize + 4 * fmt::kTenSize - 6 * shrink;
            return BoundBy(in_.Remaining(), record + 2, left);
        case kEntSolid: record = fmt::kSolidSize; break;
        case kEntBlock: record = fmt::kBlockSize; break;
    }
    return BoundBy(in_.Remaining(), record - shrink + 2, left);  // a class tag takes at least two bytes
}

template <class T, class F>
void SectionReader::ReadInto(TArray<T>& arr, int32_t& n, TEntityLists& L, int32_t& order, int kind, int32_t left,
                             F read) {
    // The record is decoded straight into its place at the end of the list:
    // nothing is made in advance only to be overwritten.
    const bool appended = static_cast<size_t>(n) >= arr.size();
    if (appended) {
        if (arr.size() == arr.capacity()) ReserveMore(arr, 1, arr.size() + AtMost(kind, left));
        arr.emplace_back();
    }
    try {
        read(arr[static_cast<size_t>(n)]);
    } catch (const ShortReadError&) {
        // A truncated entity is dropped. The data has ended, so the section
        // cannot be complete: the read fails at its end even when no further
        // tag is due (the last entity of a file without an image section).
        if (appended) arr.pop_back();
        truncated_ = true;
        return;
    }
    ++n;
    L.No[static_cast<size_t>(order++)] = TEntJwwNo{kind, n - 1};
}

void SectionReader::ReadObjects(TEntityLists L, int32_t count, bool member) {
    const int v = ver_;
    const PointDefaults pd = member ? PointDefaults::kMember : PointDefaults::kTopLevel;
    int32_t order = 0;
    for (int32_t k = 0; k < count;) {
        if (BudgetUsedUp()) {
            cut_ = true;
            return;
        }
        const uint16_t tag = in_.U16();
        ++tagsRead_;
        int kind = 0;
        if (tag == fmt::kTagNewClass) {
            const std::string name = ReadClassName();
            for (int t = kEntLine; t <= kEntBlock; ++t) {
                if (name == fmt::kClassNames[t]) kind = t;
            }
            if (kind == 0) throw JwIoError(fmt::kErrIo);
            classIndex_[kind] = running_++;
        } else {
            uint32_t index;
            if (tag == fmt::kTagLongRef)
                index = in_.U32() & ~fmt::kLongRefBit;
            else
                index = tag >= fmt::kTagClassRef ? tag - fmt::kTagClassRef : 0;
            for (int t = kEntLine; t <= kEntBlock && index != 0; ++t) {
                if (classIndex_[t] == index) kind = t;
            }
            if (kind == 0) continue;  // not an entity class: nothing to read, not counted
        }
        const int32_t left = count - k;
        switch (kind) {
            case kEntLine:
                ReadInto(L.Line, L.LineN, L, order, kind, left, [&](TEntJwwLine& e) { ReadLineRec(in_, v, e); });
                break;
            case kEntEnko:
                ReadInto(L.Enko, L.EnkoN, L, order, kind, left, [&](TEntJwwEnko& e) { ReadEnkoRec(in_, v, e); });
                break;
            case kEntTen:
                ReadInto(L.Ten, L.TenN, L, order, kind, left, [&](TEntJwwTen& e) { ReadTenRec(in_, v, e, pd); });
                break;
            case kEntMoji:
                ReadInto(L.Moji, L.MojiN, L, order, kind, left, [&](TEntJwwMoji& e) { ReadMojiRec(in_, v, e); });
                break;
            case kEntSunpo:
                ReadInto(L.Sunpo, L.SunpoN, L, order, kind, left, [&](TEntJwwSunpo& e) { ReadSunpoRec(in_, v, e); });
                break;
            case kEntSolid:
                ReadInto(L.Solid, L.SolidN, L, order, kind, left, [&](TEntJwwSolid& e) { ReadSolidRec(in_, v, e); });
                break;
            case kEntBlock:
                ReadInto(L.Block, L.BlockN, L, order, kind, left, [&](TEntJwwBlock& e) { ReadBlockRec(in_, v, e); });
                break;
        }
        ++k;
        ++running_;
    }
}

void SectionReader::ReadBlockDef(TEntJwwBlockDef& d, int position) {
    const uint16_t tag = in_.U16();
    if (tag == fmt::kTagNewClass) {
        ReadClassName();  // "CDataList"; not checked
        ++running_;
    } else if (tag == fmt::kTagLongRef) {
        in_.U32();
    }
    const TEntJwwAttr att = in_.AttrIn(ver_);
    const uint8_t* p = in_.Take(12);
    d.att = att;
    d.nNumber = ArchiveReader::LoadU32(p);
    d.bRefferd = ArchiveReader::LoadU32(p + 4);
    d.dtime = ArchiveReader::LoadU32(p + 8);
    if (d.dtime >= 0x80000000u) {
        in_.Skip(8);  // a 64-bit time stamp follows; the definition keeps its position
        d.dtime = static_cast<uint32_t>(position);
    }
    d.strName = in_.StringInClean();
    d.mLineN = d.mEnkoN = d.mTenN = d.mMojiN = d.mSunpoN = d.mSolidN = d.mBlockN = 0;
    d.N = ReadCount(in_);
    CheckPlausibleCount(in_, d.N, kMinObjectBytes);
    d.mNo.assign(static_cast<size_t>(d.N), TEntJwwNo{});
    ++running_;
    TEntityLists L = ListsOf(d);
    try {
        ReadObjects(L, d.N, true);
    } catch (...) {
        TrimLists(L, true);
        throw;
    }
    TrimLists(L, true);
}

}  // namespace

void TJwDocument::ReadEntitySection(ArchiveReader& in, int ver, int32_t& n1, int32_t& n2, int64_t tagBudget) {
    SectionReader reader(in, ver, tagBudget);
    const int32_t count = ReadCount(in);
    CheckPlausibleCount(in, count, kMinObjectBytes);
    EntBlockDefN = 0;
    n2 = 0;
    n1 = count;
    EntNo.assign(static_cast<size_t>(count), TEntJwwNo{});
    TEntityLists top = TopLists();
    try {
        reader.ReadObjects(top, count, false);
    } catch (...) {
        TrimLists(top, false);
        throw;
    }
    TrimLists(top, false);
    if (reader.Cut()) {
        // The budget ended the entity list: the definition count lies
        // somewhere behind the objects not read. The document has no
        // definitions.
        if (reader.Truncated()) throw ShortReadError();
        return;
    }

    const int32_t defs = ReadCount(in);
    CheckPlausibleCount(in, defs, kMinBlockDefBytes);
    n2 = EntBlockDefN = defs;
    EntBlockDef.assign(static_cast<size_t>(defs), TEntJwwBlockDef{});
    // Definitions after the point where the budget ran out stay empty.
    for (int32_t i = 0; i < defs && !reader.BudgetUsedUp(); ++i)
        reader.ReadBlockDef(EntBlockDef[static_cast<size_t>(i)], i + 1);
    if (reader.Truncated()) throw ShortReadError();
}

}  // namespace talvine

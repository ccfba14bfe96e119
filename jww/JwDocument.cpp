#include "jww/JwDocument.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "jww/Archive.h"
#include "jww/JwwFormat.h"
#include "util/Func_2.h"
#include "util/Platform.h"
#include "util/TempFile.h"

namespace talvine {

namespace {
// Documents on several threads read at once: the slot is guarded.
struct TDrawingInfoSlot {
    std::mutex lock;
    TDrawingInfo info;
};
TDrawingInfoSlot& DrawingInfoSlot() {
    static TDrawingInfoSlot slot;
    return slot;
}
}  // namespace

TDrawingInfo CurrentDrawingInfo() {
    TDrawingInfoSlot& slot = DrawingInfoSlot();
    const std::lock_guard<std::mutex> hold(slot.lock);
    return slot.info;
}
void PublishDrawingInfo(TDrawingInfo info) {
    TDrawingInfoSlot& slot = DrawingInfoSlot();
    const std::lock_guard<std::mutex> hold(slot.lock);
    slot.info = std::move(info);
}

TEntityLists ListsOf(TEntJwwBlockDef& d) {
    return {d.mNo,   d.mLine,   d.mLineN,  d.mEnko,  d.mEnkoN,  d.mTen,   d.mTenN,  d.mMoji,
            d.mMojiN, d.mSunpo, d.mSunpoN, d.mSolid, d.mSolidN, d.mBlock, d.mBlockN};
}

TEntityView ListsOf(const TEntJwwBlockDef& d) {
    return {d.mNo,   d.mLine,   d.mLineN,  d.mEnko,  d.mEnkoN,  d.mTen,   d.mTenN,  d.mMoji,
            d.mMojiN, d.mSunpo, d.mSunpoN, d.mSolid, d.mSolidN, d.mBlock, d.mBlockN};
}

void TrimLists(const TEntityLists& L, bool release) {
    TrimTo(L.Line, L.LineN, release);
    TrimTo(L.Enko, L.EnkoN, release);
    TrimTo(L.Ten, L.TenN, release);
    TrimTo(L.Moji, L.MojiN, release);
    TrimTo(L.Sunpo, L.SunpoN, release);
    TrimTo(L.Solid, L.SolidN, release);
    TrimTo(L.Block, L.BlockN, release);
}

TEntityLists TJwDocument::TopLists() {
    return {EntNo,    EntLine,   EntLineN,  EntEnko,  EntEnkoN,  EntTen,   EntTenN,  EntMoji,
            EntMojiN, EntSunpo,  EntSunpoN, EntSolid, EntSolidN, EntBlock, EntBlockN};
}

TEntityView TJwDocument::TopLists() const {
    return {EntNo,    EntLine,   EntLineN,  EntEnko,  EntEnkoN,  EntTen,   EntTenN,  EntMoji,
            EntMojiN, EntSunpo,  EntSunpoN, EntSolid, EntSolidN, EntBlock, EntBlockN};
}

void TJwDocument::ResetEntities() {
    FileOutOpt = 0;
    EntNo.clear();
    EntLine.clear();
    EntEnko.clear();
    EntTen.clear();
    EntMoji.clear();
    EntSunpo.clear();
    EntSolid.clear();
    EntBlock.clear();
    EntBlockDef.clear();
    EntBlockTree.clear();
    EntLineN = EntEnkoN = EntTenN = EntMojiN = EntSunpoN = EntSolidN = EntBlockN = 0;
    EntBlockDefN = EntBlockTreeN = 0;
    EntBlockNum = 0;
    bBlockTreeCut = false;
    BindImage.clear();
    BindImageN = 0;
    FontNameN = 0;
    FontNames.clear();
    MojiEncode = false;
}

void TJwDocument::FreeEntities() {
    for (auto& d : EntBlockDef) {
        d.mNo.clear();
        d.mLine.clear();
        d.mEnko.clear();
        d.mTen.clear();
        d.mMoji.clear();
        d.mSunpo.clear();
        d.mSolid.clear();
        d.mBlock.clear();
    }
    ResetEntities();
}

int64_t TJwDocument::WorkAllowance() const {
    int64_t entities = int64_t{EntLineN} + EntEnkoN + EntTenN + EntMojiN + EntSunpoN + EntSolidN + EntBlockN;
    for (int32_t i = 0; i < EntBlockDefN && static_cast<size_t>(i) < EntBlockDef.size(); ++i) {
        const TEntJwwBlockDef& d = EntBlockDef[static_cast<size_t>(i)];
        entities += 1 + int64_t{d.mLineN} + d.mEnkoN + d.mTenN + d.mMojiN + d.mSunpoN + d.mSolidN + d.mBlockN;
    }
    return kFixedWork + kWorkPerEntity * std::max<int64_t>(entities, 0);
}

void TJwDocument::Fail(TJwFailure why) {
    LastFailure = why;
    LastError = why == TJwFailure::kTooComplex ? fmt::kErrTooComplex
                : why == TJwFailure::kOutOfMemory ? fmt::kErrNoMemory
                                                  : fmt::kErrIo;
}

TFileKind IdentifyFile(platform::File& file) {
    TFileKind k;
    // Enough for either header up to its version.
    uint8_t b[fmt::kJwsMagicLen + fmt::kJwsFillerSize + 4];
    const long long got = file.Read(b, sizeof b);
    if (got < 0 || !file.Rewind()) {
        k.failure = TJwFailure::kCannotOpen;
        return k;
    }
    struct Kind {
        TJwKind kind;
        const char* magic;
        size_t magicLen, skip;
        int minVer;
    };
    static constexpr Kind kKinds[] = {
        {TJwKind::kDrawing, fmt::kJwwMagic, fmt::kJwwMagicLen, 0, fmt::kJwwMinVersion},
        {TJwKind::kFigure, fmt::kJwsMagic, fmt::kJwsMagicLen, fmt::kJwsFillerSize, fmt::kJwsMinVersion},
    };
    const size_t have = static_cast<size_t>(got);
    for (const Kind& c : kKinds) {
        if (have < c.magicLen || std::memcmp(b, c.magic, c.magicLen) != 0) continue;
        k.kind = c.kind;
        const size_t at = c.magicLen + c.skip;
        if (have < at + 4) {
            k.failure = TJwFailure::kDamaged;  // the right magic but no version: a file cut short
        } else {
            const int32_t ver = static_cast<int32_t>(ArchiveReader::LoadU32(b + at));
            if (ver < c.minVer || ver > fmt::kMaxVersion) k.failure = TJwFailure::kUnknownVersion;
        }
        return k;
    }
    k.failure = TJwFailure::kNotJw;
    return k;
}

TJwFailure TJwDocument::CheckFileAs(const std::string& fileName, TJwKind kind) {
    platform::File f = platform::File::OpenRead(fileName);
    if (!f.IsOpen()) return TJwFailure::kCannotOpen;
    const TFileKind k = IdentifyFile(f);
    if (k.failure == TJwFailure::kCannotOpen || k.kind == kind) return k.failure;
    return TJwFailure::kNotJw;
}

void TJwDocument::SetFileOutOption(int n) { FileOutOpt = (n >= 0 && n < 64) ? n : 0; }

bool TJwDocument::Guarded(const std::function<void()>& step) { return Guarded(step, LastFailure, LastError); }

bool TJwDocument::Guarded(const std::function<void()>& step, TJwFailure& failure, std::string& error) {
    try {
        step();
        return true;
    } catch (const JwIoError& e) {
        error = e.what();
        if (failure == TJwFailure::kNone) failure = TJwFailure::kDamaged;
    } catch (const std::bad_alloc&) {
        error = fmt::kErrIo;
        failure = TJwFailure::kOutOfMemory;
    }
    return false;
}

bool TJwDocument::ReadFile(const std::string& fileName, const std::function<bool(ArchiveReader&)>& header,
                           const std::function<void(ArchiveReader&)>& sections) {
    platform::File f = platform::File::OpenRead(fileName);
    return ReadFile(f, header, sections);
}

bool TJwDocument::ReadFile(platform::File& f, const std::function<bool(ArchiveReader&)>& header,
                           const std::function<void(ArchiveReader&)>& sections) {
    LastError.clear();
    LastFailure = TJwFailure::kNone;
    if (!f.IsOpen()) {
        LastError = fmt::kErrIo;
        LastFailure = TJwFailure::kCannotOpen;
        return false;
    }
    ArchiveReader in(f);
    HeaderSize = 0;
    if (!header(in)) return false;
    HeaderSize = in.Position();
    if (!sections) return true;
    const bool ok = Guarded([&] { sections(in); });
    MojiEncode = MojiEncode || in.SawUnicode();
    f.Close();
    // The tree is built on whatever was read; a tree that cannot hold every
    // placement fails the read, whose failure it then names.
    const TJwFailure before = LastFailure;
    const std::string beforeText = LastError;
    MakeBlockTree();
    if (!ok) {
        LastFailure = before;  // the first failure names the read's
        LastError = beforeText;
    }
    return ok && !bBlockTreeCut;
}

void TJwDocument::DataFree() {
    FreeEntities();
    DataInit();
}

bool TJwDocument::StreamHeaderIn(ArchiveReader& in) {
    const bool ok = Guarded([&] { ReadHeader(in); });
    MojiEncode = MojiEncode || in.SawUnicode();
    return ok;
}

bool TJwDocument::FileHeaderIn(const std::string& fileName) {
    DataInit();
    return ReadFile(fileName, [&](ArchiveReader& in) { return StreamHeaderIn(in); }, nullptr);
}

bool TJwDocument::FileIn(const std::string& fileName) {
    platform::File file = platform::File::OpenRead(fileName);
    return FileIn(file, fileName);
}

bool TJwDocument::FileIn(platform::File& file, const std::string& fileName) {
    DataInit();
    return ReadFile(
        file, [&](ArchiveReader& in) { return StreamHeaderIn(in); },
        [&](ArchiveReader& in) {
            PublishDrawingInfo(DrawingInfo(fileName));
            ReadEntitySection(in, FileVersion(), HeaderN1(), HeaderN2());
            ReadTrailer(in);
        });
}

void TJwDocument::WriteContent(ArchiveWriter& out, int Ver, TWrittenFile& written) const {
    const int ver = OutputVersion(Ver);
    WriteHeader(out, ver);
    WriteEntitySection(out, ver, FileVersion(), HeaderN1(), HeaderN2(), written);
    WriteTrailer(out, ver, written);
}

bool TJwDocument::FileOut(const std::string& fileName, int Ver) {
    LastError.clear();
    // The temporary file lives beside the target, so that giving it the
    // target's name is a rename within one file system.
    platform::File file;
    const std::string tmp = ReserveTempFile(FolderPart(fileName), FileNamePart(fileName), file);
    if (tmp.empty()) {
        LastError = fmt::kErrIo;
        LastFailure = TJwFailure::kCannotWrite;
        return false;
    }
    bool ok = FileOutTo(file, Ver);
    if (ok && !platform::RenameReplace(tmp, fileName)) {
        LastError = fmt::kErrIo;
        LastFailure = TJwFailure::kCannotWrite;
        ok = false;
    }
    if (!ok) platform::RemoveFile(tmp);
    platform::UnregisterTempPath(tmp);
    return ok;
}

bool TJwDocument::FileOutTo(platform::File& file, int Ver) {
    TWrittenFile written;
    const bool ok = WriteTo(file, Ver, written, false);
    LastError = written.error;
    LastFailure = written.failure;
    // What a write leaves behind in the document: the magic, and which
    // bound images were stored.
    StampMagic();
    for (auto& img : BindImage) img.exf = false;
    for (int32_t i : written.images) BindImage[static_cast<size_t>(i)].exf = true;
    return ok;
}

bool TJwDocument::WriteTo(platform::File& file, int Ver, TWrittenFile& written, bool checksum) const {
    written = TWrittenFile{};
    written.failure = TJwFailure::kCannotWrite;  // any error from here on is the output's
    const bool ok = Guarded(
        [&] {
            ArchiveWriter out(file, (FileOutOpt & 32) != 0);
            if (!checksum) out.SkipChecksum();
            WriteContent(out, Ver, written);
            out.Flush();
            written.checksum = out.Checksum();
            if (!file.Close()) throw JwIoError(fmt::kErrIo);
        },
        written.failure, written.error);
    file.Close();
    if (ok) written.failure = TJwFailure::kNone;
    return ok;
}

}  // namespace talvine

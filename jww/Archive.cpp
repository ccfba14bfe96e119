#include "jww/Archive.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

#include "jww/JwwFormat.h"
#include "util/Func_2.h"

namespace talvine {

ShortReadError::ShortReadError() : JwIoError(fmt::kErrIo) {}

namespace {
constexpr size_t kReadBufSize = 1 << 16;
}

// ---- ArchiveReader --------------------------------------------------------

ArchiveReader::ArchiveReader(platform::File& file) : file_(&file) {
    storage_.resize(kReadBufSize);
    buf_ = reinterpret_cast<uint8_t*>(storage_.data());
    pos_ = end_ = buf_;
    fileLeft_ = file.Size();
}

ArchiveReader::ArchiveReader(const uint8_t* data, size_t size) {
    pos_ = data;
    end_ = data + size;
    fileLeft_ = 0;
    filled_ = static_cast<long long>(size);
}

void ArchiveReader::Refill() {
    if (!file_) return;
    size_t have = static_cast<size_t>(end_ - pos_);
    if (have > 0 && pos_ != buf_) std::memmove(buf_, pos_, have);
    pos_ = buf_;
    end_ = buf_ + have;
    long long got = file_->Read(buf_ + have, kReadBufSize - have);
    if (got < 0) throw JwIoError(fmt::kErrIo);
    end_ += got;
    filled_ += got;
    if (fileLeft_ >= 0) fileLeft_ = std::max(0LL, fileLeft_ - got);
}

const uint8_t* ArchiveReader::TakeSlow(size_t n) {
    if (n > kMaxTake) throw JwIoError(fmt::kErrIo);
    if (file_) {
        while (static_cast<size_t>(end_ - pos_) < n) {
            const uint8_t* before = end_;
            Refill();
            if (end_ == before && static_cast<size_t>(end_ - pos_) < n) break;
        }
    }
    if (static_cast<size_t>(end_ - pos_) < n) {
        pos_ = end_;
        throw ShortReadError();
    }
    const uint8_t* p = pos_;
    pos_ += n;
    return p;
}

size_t ArchiveReader::ReadSome(void* dst, size_t n) {
    auto* out = static_cast<uint8_t*>(dst);
    size_t done = 0;
    while (done < n) {
        size_t have = static_cast<size_t>(end_ - pos_);
        if (have == 0) {
            if (!file_) break;
            Refill();
            if (end_ == pos_) break;
            continue;
        }
        size_t k = std::min(have, n - done);
        std::memcpy(out + done, pos_, k);
        pos_ += k;
        done += k;
    }
    return done;
}

void ArchiveReader::Read(void* dst, size_t n) {
    if (ReadSome(dst, n) != n) throw ShortReadError();
}

void ArchiveReader::Skip(uint64_t n) {
    while (n > 0) {
        size_t have = static_cast<size_t>(end_ - pos_);
        if (have == 0) {
            if (!file_) throw ShortReadError();
            Refill();
            if (end_ == pos_) throw ShortReadError();
            continue;
        }
        size_t k = static_cast<size_t>(std::min<uint64_t>(have, n));
        pos_ += k;
        n -= k;
    }
}

long long ArchiveReader::Remaining() const {
    if (fileLeft_ < 0) return -1;
    return fileLeft_ + (end_ - pos_);
}

void ArchiveReader::StringIn(std::u16string& out) {
    uint32_t len = U8();
    bool wide = false;
    if (len == 0xFF) {
        len = U16();
        if (len == 0xFFFE) {
            wide = true;
            sawUnicode_ = true;
            len = U8();
            if (len == 0xFF) len = U16();
        }
    }
    out.clear();
    if (len == 0) return;
    // Both decoders end the text before its first NUL.
    const size_t bytes = wide ? size_t{len} * 2 : len;
    const uint8_t* p;
    ByteArray tmp;
    if (bytes <= kMaxTake) {
        p = Take(bytes);
    } else {
        tmp.resize(bytes);
        Read(tmp.data(), bytes);
        p = tmp.data();
    }
    if (wide)
        WideBytesToStr(p, bytes, out);
    else
        AnsiBytesToStr(p, bytes, out);
}

void ArchiveReader::StringInClean(std::u16string& out) {
    StringIn(out);
    for (char16_t c : out) {
        if (c < 0x20) {
            out = RemoveCtrlChars(out);
            return;
        }
    }
}

std::u16string ArchiveReader::StringIn() {
    std::u16string s;
    StringIn(s);
    return s;
}

std::u16string ArchiveReader::StringInClean() {
    std::u16string s;
    StringInClean(s);
    return s;
}

TEntJwwAttr ArchiveReader::AttrIn(int ver) {
    TEntJwwAttr a;
    const bool wide = ver >= fmt::kVer351;
    const uint8_t* p = Take(wide ? fmt::kAttrSize : fmt::kAttrSizeOld);
    a.lGroup = LoadU32(p);
    a.nPenStyle = p[4];
    a.nPenColor = LoadU16(p + 5);
    size_t o = 7;
    if (wide) {
        a.nPenWidth = LoadU16(p + 7);
        o = 9;
    }
    a.nLayer = LoadU16(p + o);
    a.nGLayer = LoadU16(p + o + 2);
    a.sFlg = LoadU16(p + o + 4);
    return a;
}

// ---- ArchiveWriter --------------------------------------------------------

ArchiveWriter::ArchiveWriter(platform::File& file, bool unicode) : file_(&file), unicode_(unicode) {
    storage_.resize(kBufSize);
    buf_ = reinterpret_cast<uint8_t*>(storage_.data());
}

ArchiveWriter::ArchiveWriter(bool unicode) : file_(nullptr), unicode_(unicode) {
    storage_.resize(kBufSize);
    buf_ = reinterpret_cast<uint8_t*>(storage_.data());
}

void ArchiveWriter::Put(const void* p, size_t n) {
    if (sum_) crc_ = static_cast<uint32_t>(crc32_z(crc_, static_cast<const Bytef*>(p), n));
    flushed_ += static_cast<int64_t>(n);
    if (file_ && !file_->Write(p, n)) throw JwIoError(fmt::kErrIo);
}

bool FileChecksum(const std::string& path, uint32_t& crc) {
    platform::File f = platform::File::OpenRead(path);
    if (!f.IsOpen()) return false;
    constexpr size_t kChunk = 1 << 16;
    const std::unique_ptr<uint8_t[]> buf(new uint8_t[kChunk]);  // filled by each read
    crc = 0;
    for (;;) {
        const long long n = f.Read(buf.get(), kChunk);
        if (n < 0) return false;
        if (n == 0) return true;
        crc = static_cast<uint32_t>(crc32_z(crc, buf.get(), static_cast<size_t>(n)));
    }
}

void ArchiveWriter::Flush() {
    if (used_ > 0) {
        Put(buf_, used_);
        used_ = 0;
    }
}

void ArchiveWriter::BytesSlow(const void* p, size_t n) {
    Flush();
    if (n >= kBufSize) {
        Put(p, n);
        return;
    }
    std::memcpy(buf_, p, n);
    used_ = n;
}

namespace {

bool IsSjisLead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Length of the longest prefix of bytes[0..n) of at most limit bytes that
// ends on a character boundary.
size_t CutAnsi(const ByteArray& bytes, size_t n, size_t limit) {
    if (n <= limit) return n;
    size_t i = 0;
    while (i < n) {
        size_t step = IsSjisLead(bytes[i]) && i + 1 < n ? 2 : 1;
        if (i + step > limit) break;
        i += step;
    }
    return i;
}

}  // namespace

void ArchiveWriter::StringOut(std::u16string_view text) {
    if (unicode_) {
        size_t n = text.size();
        if (n > kMaxUnicodeLen) {
            n = kMaxUnicodeLen;
            if (text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;  // keep pairs whole
        }
        const uint8_t head[3] = {0xFF, 0xFE, 0xFF};
        Bytes(head, 3);
        if (n <= 254) {
            U8(static_cast<uint8_t>(n));
        } else {
            U8(0xFF);
            U16(static_cast<uint16_t>(n));
        }
        for (size_t i = 0; i < n; ++i) U16(static_cast<uint16_t>(text[i]));
        return;
    }
    text_.clear();
    AppendAnsiBytes(text, text_);
    size_t n = static_cast<size_t>(std::find(text_.begin(), text_.end(), uint8_t{0}) - text_.begin());
    n = CutAnsi(text_, n, kMaxSingleByteLen);
    if (n <= 254) {
        U8(static_cast<uint8_t>(n));
    } else {
        U8(0xFF);
        U16(static_cast<uint16_t>(n));
    }
    if (n > 0) Bytes(text_.data(), n);
}

void ArchiveWriter::CountOut(int32_t n) {
    if (n >= 0 && n < 0xFFFF) {
        U16(static_cast<uint16_t>(n));
    } else {
        U16(0xFFFF);
        I32(n);
    }
}

void ArchiveWriter::ClassRefOut(uint32_t classIndex) {
    if (classIndex < fmt::kTagLongRef) {
        U16(static_cast<uint16_t>(classIndex + fmt::kTagClassRef));
    } else {
        U16(fmt::kTagLongRef);
        U32(classIndex | fmt::kLongRefBit);
    }
}

void ArchiveWriter::NewClassOut(uint16_t schema, const char* name) {
    U16(fmt::kTagNewClass);
    U16(schema);
    size_t n = std::strlen(name);
    U16(static_cast<uint16_t>(n));
    Bytes(name, n);
}

TEntJwwAttr ValidateAttr(int ver, TEntJwwAttr a, int kind) {
    const bool lineLike = kind == kEntLine || kind == kEntEnko;
    const bool entity = kind >= kEntLine && kind <= kEntSolid;
    if (ver < fmt::kVer420) {
        if (lineLike && a.nPenStyle >= 31 && a.nPenStyle <= 62) {
            static constexpr uint8_t kOldStyle[15] = {1, 4, 3, 6, 8, 8, 2, 5, 7, 6, 6, 8, 8, 17, 17};
            a.nPenStyle = a.nPenStyle <= 45 ? kOldStyle[a.nPenStyle - 31] : DefaultPenStyle();
        }
        if (entity && a.nPenColor >= 101 && a.nPenColor <= 356) {
            static constexpr uint16_t kOldColor[16] = {2, 8, 3, 6, 4, 5, 1, 2, 5, 8, 4, 3, 6, 5, 2, 2};
            a.nPenColor = a.nPenColor <= 116 ? kOldColor[a.nPenColor - 101] : DefaultPenColor();
        }
    }
    const auto inRange = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
    if (lineLike && !(inRange(a.nPenStyle, 1, 9) || inRange(a.nPenStyle, 11, 19) || inRange(a.nPenStyle, 31, 62)))
        a.nPenStyle = 1;
    if (kind == kEntTen && a.nPenStyle != 1 && a.nPenStyle != fmt::kPenStyleSymbolPoint) a.nPenStyle = 1;
    if (kind == kEntMoji && !inRange(a.nPenStyle, 1, 9)) a.nPenStyle = 1;
    if (kind >= kEntLine && kind <= kEntSunpo && !(inRange(a.nPenColor, 1, 9) || inRange(a.nPenColor, 101, 356)))
        a.nPenColor = 1;
    if (kind == kEntSolid && !(inRange(a.nPenColor, 1, 10) || inRange(a.nPenColor, 101, 356))) a.nPenColor = 1;
    if (a.nLayer > 15) a.nLayer = 0;
    if (a.nGLayer > 15) a.nGLayer = 0;
    if (a.nPenWidth > 30000) a.nPenWidth = 0;
    return a;
}

void ArchiveWriter::AttrOut(int ver, TEntJwwAttr att, int kind) {
    const TEntJwwAttr a = ValidateAttr(ver, att, kind);
    // Two fixed layouts, so that each is one copy of known size.
    uint8_t b[fmt::kAttrSize];
    const auto put16 = [&b](size_t at, uint16_t v) {
        b[at] = static_cast<uint8_t>(v);
        b[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(a.lGroup >> (8 * i));
    b[4] = a.nPenStyle;
    put16(5, a.nPenColor);
    if (ver >= fmt::kVer351) {
        put16(7, a.nPenWidth);
        put16(9, a.nLayer);
        put16(11, a.nGLayer);
        put16(13, a.sFlg);
        Bytes(b, fmt::kAttrSize);
    } else {
        put16(7, a.nLayer);
        put16(9, a.nGLayer);
        put16(11, a.sFlg);
        Bytes(b, fmt::kAttrSizeOld);
    }
}

}  // namespace talvine

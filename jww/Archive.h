// Byte primitives of the Jw_cad archive formats: little-endian scalars,
// counts, class tags, attribute blocks and strings with their single-byte
// (code page 932) or UTF-16LE form.
//
// Encoding, all little-endian:
//   count      u16 n when n < 0xFFFF, else u16 0xFFFF followed by int32 n
//   class tag  u16 0xFFFF + u16 schema + u16 length + ASCII name  (new class)
//              u16 0x7FFF + u32 (index | 0x80000000)               (long reference)
//              u16 0x8000 + index                                  (reference)
//   string     u8 n (n < 255) + n bytes                             (code page 932)
//              0xFF + u16 n (n < 0xFFFE) + n bytes                  (code page 932)
//              0xFF + u16 0xFFFE + (u8 n | 0xFF + u16 n) + 2n bytes (UTF-16LE)
//   attribute  u32 lGroup, u8 nPenStyle, u16 nPenColor, [u16 nPenWidth from
//              version 351], u16 nLayer, u16 nGLayer, u16 sFlg
//
// A read that runs past the end of the data throws ShortReadError; any other
// failure inside a reader or writer throws JwIoError with the error text. Both
// are caught by the public operation of the document, which returns false.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "jww/jwwtype.h"
#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine {

// Format or stream error inside a reader or writer.
class JwIoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The data ended before a read was complete ("File I/O Error").
class ShortReadError : public JwIoError {
public:
    ShortReadError();
};

// Buffered reader over an open file or a block of memory.
class ArchiveReader {
public:
    // Reads from an open file (which must outlive the reader).
    explicit ArchiveReader(platform::File& file);
    // Reads from memory (which must outlive the reader).
    ArchiveReader(const uint8_t* data, size_t size);
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Returns a pointer to the next n contiguous bytes (n <= kMaxTake) and
    // consumes them; throws ShortReadError, having consumed what was left,
    // when fewer remain.
    static constexpr size_t kMaxTake = 4096;
    const uint8_t* Take(size_t n) {
        if (static_cast<size_t>(end_ - pos_) >= n) {
            const uint8_t* p = pos_;
            pos_ += n;
            return p;
        }
        return TakeSlow(n);
    }
    // Reads exactly n bytes into dst or throws ShortReadError.
    void Read(void* dst, size_t n);
    // Reads up to n bytes; returns how many were read.
    size_t ReadSome(void* dst, size_t n);
    // Skips exactly n bytes or throws ShortReadError.
    void Skip(uint64_t n);

    uint8_t U8() { return *Take(1); }
    uint16_t U16() { return LoadU16(Take(2)); }
    uint32_t U32() { return LoadU32(Take(4)); }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    double F64() { return LoadF64(Take(8)); }

    // Bytes left until the end of the data; -1 when unknown.
    long long Remaining() const;
    // Bytes consumed from the start of the data.
    long long Position() const { return filled_ - (end_ - pos_); }

    // One archive string, control characters kept, cut at its first NUL.
    std::u16string StringIn();
    // StringIn without the characters below U+0020.
    std::u16string StringInClean();
    // The same into out, whose room is used again.
    void StringIn(std::u16string& out);
    void StringInClean(std::u16string& out);
    // Attribute block of a file of version ver (15 bytes from 351, else 13).
    TEntJwwAttr AttrIn(int ver);
    // True once a string in the UTF-16 form has been read.
    bool SawUnicode() const { return sawUnicode_; }

    static uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
    static uint32_t LoadU32(const uint8_t* p) {
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
               (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    }
    static double LoadF64(const uint8_t* p) {
        uint64_t v = 0;
        for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
        double d;
        std::memcpy(&d, &v, 8);
        return d;
    }

private:
    const uint8_t* TakeSlow(size_t n);
    // Moves the unread bytes to the front of the buffer and fills the rest.
    void Refill();

    platform::File* file_ = nullptr;
    uint8_t* buf_ = nullptr;
    const uint8_t* pos_ = nullptr;
    const uint8_t* end_ = nullptr;
    long long fileLeft_ = -1;  // bytes of the file not yet in the buffer
    long long filled_ = 0;     // bytes brought into the buffer so far
    bool sawUnicode_ = false;
    std::string storage_;      // buffer for file input
};

// Buffered writer over an open file, or only for the checksum of what it is
// given.
class ArchiveWriter {
public:
    // unicode: write every string in the UTF-16 form.
    ArchiveWriter(platform::File& file, bool unicode);
    // A writer that only takes the checksum of what it is given.
    explicit ArchiveWriter(bool unicode);
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    void Bytes(const void* p, size_t n) {
        if (static_cast<size_t>(kBufSize - used_) >= n) {
            std::memcpy(buf_ + used_, p, n);
            used_ += n;
        } else {
            BytesSlow(p, n);
        }
    }
    void U8(uint8_t v) { Bytes(&v, 1); }
    void U16(uint16_t v) {
        uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        Bytes(b, 2);
    }
    void U32(uint32_t v) {
        uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 24)};
        Bytes(b, 4);
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void F64(double d) {
        uint64_t v;
        std::memcpy(&v, &d, 8);
        uint8_t b[8];
        for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
        Bytes(b, 8);
    }

    // An archive string. Texts longer than the 16-bit length allows are cut
    // at a character boundary (65 533 bytes, 65 534 UTF-16 units).
    void StringOut(std::u16string_view text);
    // A count: u16, or 0xFFFF followed by int32.
    void CountOut(int32_t n);
    // A reference to an already written class.
    void ClassRefOut(uint32_t classIndex);
    // A new-class tag with its schema number and name.
    void NewClassOut(uint16_t schema, const char* name);
    // Attribute block for output version ver after validation (and, below 420,
    // mapping of the SXF line types and colours); kind is the EntKind, or
    // kAttrKindBlockDef.
    void AttrOut(int ver, TEntJwwAttr att, int kind);

    // Writes the buffer out; throws JwIoError when the file refuses it.
    void Flush();
    // The CRC-32 of every byte written so far (after Flush).
    uint32_t Checksum() const { return crc_; }
    // Takes no checksum from here on (Checksum then tells nothing).
    void SkipChecksum() { sum_ = false; }
    // How many bytes were given so far, flushed or not.
    int64_t BytesSoFar() const { return flushed_ + static_cast<int64_t>(used_); }

    static constexpr size_t kMaxSingleByteLen = 65533;  // 0xFFFE marks the UTF-16 form
    static constexpr size_t kMaxUnicodeLen = 65534;

private:
    void BytesSlow(const void* p, size_t n);
    static constexpr size_t kBufSize = 1 << 16;
    void Put(const void* p, size_t n);
    platform::File* file_;  // nullptr: the checksum only
    bool unicode_;
    uint32_t crc_ = 0;
    bool sum_ = true;
    int64_t flushed_ = 0;
    size_t used_ = 0;
    uint8_t* buf_;
    std::string storage_;
    ByteArray text_;  // a string's bytes, reused from string to string
};

// The CRC-32 of the whole file at path, as ArchiveWriter::Checksum gives it
// for the bytes it wrote; false when the file cannot be read to its end.
bool FileChecksum(const std::string& path, uint32_t& crc);

// A header table as the file stores it: exactly n entries, read from a
// document's vector; entries the vector lacks are written as new ones.
template <class T>
class TFixedTable {
public:
    TFixedTable(const std::vector<T>& v, size_t n) : v_(v), n_(n) {}
    size_t size() const { return n_; }
    const T& operator[](size_t i) const {
        static const T kNew{};
        return i < v_.size() ? v_[i] : kNew;
    }

private:
    const std::vector<T>& v_;
    size_t n_;
};

// Validates (and for versions below 420 maps) an attribute as AttrOut writes it.
TEntJwwAttr ValidateAttr(int ver, TEntJwwAttr att, int kind);
// Copies all seven attribute fields.
inline void AttrCopy(const TEntJwwAttr& src, TEntJwwAttr& dst) { dst = src; }

}  // namespace talvine

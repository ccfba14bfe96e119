// Fixtures for the document tests: temporary folders, hand-assembled bytes
// and sample documents built in memory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "jws/JwsUnit.h"
#include "jww/JwwUnit.h"

namespace talvine::test {

using Bytes = std::vector<uint8_t>;

// A folder of its own per test, removed with everything in it afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }  // ends with the system's separator
    // The path of name (which may hold '/') inside the folder, with this
    // system's separators.
    std::string File(const std::string& name) const {
        std::string path = path_ + name;
#ifdef _WIN32
        for (char& c : path)
            if (c == '/') c = '\\';
#endif
        return path;
    }

private:
    std::string path_;
};

// A file-system path from a UTF-8 path (std::filesystem takes narrow
// strings in the ANSI code page on Windows).
std::filesystem::path FsPath(const std::string& utf8);

Bytes ReadAll(const std::string& path);
// n bytes of a pattern that does not repeat within 256 bytes.
Bytes Pattern(size_t n, uint8_t seed);
// The bytes compressed as one gzip member.
Bytes Gzip(const Bytes& plain);
void WriteAll(const std::string& path, const Bytes& bytes);

// Little-endian byte assembly.
class ByteBuilder {
public:
    ByteBuilder& u8(uint8_t v);
    ByteBuilder& u16(uint16_t v);
    ByteBuilder& u32(uint32_t v);
    ByteBuilder& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    ByteBuilder& f64(double v);
    ByteBuilder& raw(const std::string& s);
    ByteBuilder& raw(const Bytes& b);
    ByteBuilder& fill(uint8_t v, size_t n);
    // A single-byte archive string of ASCII text.
    ByteBuilder& str(const std::string& ascii);
    // Attribute block (15 bytes from version 351, else 13).
    ByteBuilder& attr(int ver, const TEntJwwAttr& a);
    ByteBuilder& newClass(const std::string& name, uint16_t schema = 600);
    ByteBuilder& classRef(uint32_t index) { return u16(static_cast<uint16_t>(0x8000 + index)); }
    const Bytes& bytes() const { return b_; }
    size_t size() const { return b_.size(); }

private:
    Bytes b_;
};

TEntJwwAttr Attr(uint8_t style = 1, uint16_t color = 1, uint16_t layer = 0, uint16_t group = 0,
                 uint16_t width = 0);

// Appends an entity to a list and to its drawing order.
void Add(TEntityLists L, const TEntJwwLine& e);
void Add(TEntityLists L, const TEntJwwEnko& e);
void Add(TEntityLists L, const TEntJwwTen& e);
void Add(TEntityLists L, const TEntJwwMoji& e);
void Add(TEntityLists L, const TEntJwwSunpo& e);
void Add(TEntityLists L, const TEntJwwSolid& e);
void Add(TEntityLists L, const TEntJwwBlock& e);
// Appends a block definition with the next number; returns its index.
int AddBlockDef(TJwDocument& d, const std::u16string& name);
// Marks every block definition as written, placed or not, as a file that
// Jw_cad wrote may carry them (this program's writer leaves unplaced ones
// out); after SyncCounts.
void KeepEveryDefinition(TJwDocument& d);
// Sets the header's order and definition counts from the arrays.
void SyncCounts(TJwwData& d);
void SyncCounts(TJwsData& d);

TEntJwwMoji Text(double x, double y, const std::u16string& s, const TEntJwwAttr& a = Attr());
TEntJwwSunpo Dimension(double x1, double y1, double x2, double y2, const std::u16string& s, bool sxf);
TEntJwwBlock Insert(uint32_t number, double x, double y, double sx = 1, double sy = 1, double rot = 0);

// Scales of the 16 layer groups of the sample drawing and figure: distinct,
// and those of the groups in use the ones real drawings use most (1/100,
// 1/40, 1/200).
inline constexpr double kSampleScales[16] = {100, 40, 200, 50, 150, 20, 1, 2, 5, 10, 25, 30, 60, 250, 300, 500};

// A document holding every entity kind, nested block definitions, Japanese
// texts and, from version 420, SXF dimensions, using only what version ver
// can store, so that reading what the writer wrote gives it back unchanged.
// The header carries a distinct value in every field the version stores.
// Like a real drawing it lies on its sheet (A1) in paper millimetres, and its
// dimensions read their lengths times their group's scale.
TJwwData SampleDrawing(int ver);
// The sample's header and tables without any entity or definition.
TJwwData TablesOnly(int ver);
// The bytes of TablesOnly(ver)'s header, as the writer stores it, without
// the sections that follow it.
Bytes HeaderBytes(int ver);
// The same entities as a figure (which names no paper; they fit on A4).
TJwsData SampleFigure(int ver);

// Field-by-field comparison with a readable report.
void ExpectSameEntities(const TJwDocument& a, const TJwDocument& b);
void ExpectSameDrawing(const TJwwData& a, const TJwwData& b);
void ExpectSameFigure(const TJwsData& a, const TJwsData& b);

// Writes with FileOut and reads the file back into a fresh document.
TJwwData RoundTrip(TJwwData& d, int ver, const TempDir& dir, Bytes* written = nullptr);
TJwsData RoundTrip(TJwsData& d, int ver, const TempDir& dir, Bytes* written = nullptr);

}  // namespace talvine::test

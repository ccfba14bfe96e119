// What the drawing document (TJwwData) and the figure document (TJwsData)
// have in common: the entity arrays and the drawing-order list, the block
// definitions and the block tree, the bound-image list, the writer options,
// and the entity section of the file that both formats store byte for byte
// alike. Each document adds its own header and version handling.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jww/jwwtype.h"

namespace talvine {

class ArchiveReader;
class ArchiveWriter;

// References to one entity list: the document's top level or the members of
// one block definition. The section reader and writer work on either.
struct TEntityLists {
    std::vector<TEntJwwNo>& No;
    std::vector<TEntJwwLine>& Line;
    int32_t& LineN;
    std::vector<TEntJwwEnko>& Enko;
    int32_t& EnkoN;
    std::vector<TEntJwwTen>& Ten;
    int32_t& TenN;
    std::vector<TEntJwwMoji>& Moji;
    int32_t& MojiN;
    std::vector<TEntJwwSunpo>& Sunpo;
    int32_t& SunpoN;
    std::vector<TEntJwwSolid>& Solid;
    int32_t& SolidN;
    std::vector<TEntJwwBlock>& Block;
    int32_t& BlockN;
};
TEntityLists ListsOf(TEntJwwBlockDef& def);

class TJwDocument {
public:
    // ---- Entities (fields keep the file format's names) ----
    std::vector<TEntJwwNo> EntNo;  // drawing order
    std::vector<TEntJwwLine> EntLine;
    int32_t EntLineN = 0;
    std::vector<TEntJwwEnko> EntEnko;
    int32_t EntEnkoN = 0;
    std::vector<TEntJwwTen> EntTen;
    int32_t EntTenN = 0;
    std::vector<TEntJwwMoji> EntMoji;
    int32_t EntMojiN = 0;
    std::vector<TEntJwwSunpo> EntSunpo;
    int32_t EntSunpoN = 0;
    std::vector<TEntJwwSolid> EntSolid;
    int32_t EntSolidN = 0;
    std::vector<TEntJwwBlock> EntBlock;
    int32_t EntBlockN = 0;
    std::vector<TEntJwwBlockDef> EntBlockDef;
    int32_t EntBlockDefN = 0;
    std::vector<TEntJwwBlockTree> EntBlockTree;
    int32_t EntBlockTreeN = 0;
    int32_t EntBlockNum = 0;  // definitions the writer will emit

    // ---- Bound images ----
    std::string BindImageFolder;  // this system's path, ends with a separator
    std::vector<TBindImageType> BindImage;
    int32_t BindImageN = 0;
    bool BindImageExp = false;  // extract bound images while reading
    bool BindImageExr = false;  // keep the image list while reading

    int32_t FileOutOpt = 0;  // writer option bits (32: strings in UTF-16)
    int32_t FontNameN = 0;
    std::vector<std::u16string> FontNames;
    bool MojiEncode = false;  // a string of the file read was UTF-16
    double myMinWx = 0, myMinWy = 0, myMaxWx = 0, myMaxWy = 0;  // extents

    // Error text of the last failed FileIn or FileOut (never shown to users).
    std::string LastError;

    TEntityLists TopLists();

    // ---- Block tree and block definitions ----

    // Rebuilds EntBlockTree, ref_flag, ref_no and EntBlockNum from the inserts
    // and definitions. A placement that would re-enter a definition already on
    // its own path is recorded but not expanded; the tree stops growing at
    // kMaxBlockTreeNodes nodes (the reference marks are computed in full).
    void MakeBlockTree();
    static constexpr int32_t kMaxBlockTreeNodes = 1'000'000;
    // Index of the first definition whose base name equals that of ps, or -1.
    int GetBlkNo(const std::u16string& ps) const;
    // nNumber of definition bdn, or -1 when bdn is out of range.
    int GetBlkNumber(int bdn) const;
    // ps when no definition has its base name, else a free "base~n" + suffix.
    std::u16string GetBlkName(const std::u16string& ps) const;
    // Number under which definition number n is written (0 when none has n).
    uint32_t ChangeBlockNo(uint32_t n) const;
    // FileOutOpt = n for 0 <= n < 64, else 0.
    void SetFileOutOption(int n);

    // ---- Entity builder (EntityBuilder.cpp) ----

    // ---- Block explode and whole-drawing transforms (BlockExplode.cpp) ----

    // ---- Element counts (ElementCounts.cpp) ----

    // ---- Font list ----
    // Rebuilds FontNames/FontNameN from the fonts of every text and dimension
    // text, top level first, then each block definition in array order.
    void GetFontNames();
    // Index of s (up to three leading '@' removed) in FontNames, or -1.
    int GetFontNamesIndex(const std::u16string& s) const;

    // ---- Bound-image files (in BindImageFolder) ----
    void BindImageInit();
    void BindImageExplode();
    void BindImagePack();
    void BindImageCopy(const std::string& dst);
    void BindImageDeleteFile();
    void BindImageDeleteGzFile();
    void BindImageDeleteNonGzFile();
    // True when an image name can safely name a file in BindImageFolder: not
    // empty, no path separator, drive or parent reference, no character
    // invalid in file names. Other images are never written, read or deleted.
    static bool IsSafeImageName(const std::u16string& name);
    // BindImageFolder + name, as this system's path.
    std::string ImagePath(const std::u16string& name) const;

protected:
    // Extents of the entities, top level and placed block contents, into
    // myMinWx .. myMaxWy. With a seed point the box starts there; without
    // one it starts at the first point the drawing's own rules give (see
    // Extents.cpp), or at the first point any entity contributes.
    void ComputeExtents(const double* seed);

    // Empties the entity arrays, definitions, tree, image list, font list and
    // writer options.
    void ResetEntities();
    // Empties every definition's member arrays, then the entities.
    void FreeEntities();

    // Reads the entity list and the block definitions of a file of version
    // ver into the document; n1 and n2 receive the counts as read. Throws on
    // a failure that ends the read; the document then holds what was read.
    void ReadEntitySection(ArchiveReader& in, int ver, int32_t& n1, int32_t& n2);
    // Writes the entity list and the referenced block definitions for output
    // version ver of a document read as docVer; n1 and n2 bound the order
    // list and the definitions. Throws JwIoError on a write failure.
    void WriteEntitySection(ArchiveWriter& out, int ver, int docVer, int32_t n1, int32_t n2);

    // Runs step, the one place where a reader's or writer's errors are
    // caught: a format or stream error (or exhausted memory) sets LastError
    // and gives false.
    bool Guarded(const std::function<void()>& step);
    // Reads a file: header(in) first (false ends the read at once, before
    // any block tree exists), then sections(in); the block tree is built
    // afterwards whatever happened. True when both completed.
    bool ReadFile(const std::string& fileName, const std::function<bool(ArchiveReader&)>& header,
                  const std::function<void(ArchiveReader&)>& sections);

    // Writes a file through write(out) under a temporary name in the same
    // folder, then gives it the name path. On any failure nothing is left at
    // the temporary name, path is left as it was, LastError is set and the
    // result is false.
    template <class WriteBody>
    bool WriteFileAtomically(const std::string& path, WriteBody&& write);
    bool WriteFileAtomicallyImpl(const std::string& path, void (*body)(void*, ArchiveWriter&), void* ctx);
};

template <class WriteBody>
bool TJwDocument::WriteFileAtomically(const std::string& path, WriteBody&& write) {
    return WriteFileAtomicallyImpl(
        path, [](void* ctx, ArchiveWriter& out) { (*static_cast<WriteBody*>(ctx))(out); }, &write);
}

}  // namespace talvine

// The figure document: one Jw_cad figure (.jws) in memory. A figure holds a
// base point, a scale per layer group and the same entity section as a
// drawing, without the drawing's settings and tables and without bound
// images. Everything it shares with the drawing lives in TJwDocument.
//
// Header (452 bytes, little-endian):
//   0    7    "JwsData"
//   7    193  filler (written as '.')
//   200  4    jwVer
//   204  16   BasePoint_x, BasePoint_y
//   220  128  adScale of layer groups 0..15
//   348  24   dmy01..dmy06 (int32)
//   372  48   dmy11..dmy16 (double)
//   420  32   Mx1, My1, Mx2, My2
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jww/JwDocument.h"
#include "jww/jwwtype.h"

namespace talvine {

struct TEntJwsHeader {
    std::string jwID;  // "JwsData"
    int32_t jwVer = 0;
    double BasePoint_x = 0, BasePoint_y = 0;
    int32_t dmy01 = 0, dmy02 = 0, dmy03 = 0, dmy04 = 0, dmy05 = 0, dmy06 = 0;
    double dmy11 = 0, dmy12 = 0, dmy13 = 0, dmy14 = 0, dmy15 = 0, dmy16 = 0;
    double Mx1 = 0, My1 = 0;  // lower-left corner of the extents
    double Mx2 = 0, My2 = 0;  // upper-right corner
    int32_t n1 = 0;           // entries of EntNo
    int32_t n2 = 0;           // block definitions
    bool operator==(const TEntJwsHeader&) const = default;
};

class TJwsData : public TJwDocument {
public:
    TJwsData();  // runs DataInit

    TEntJwsHeader Enthd;
    std::vector<TEntJwwLayerGroup> EntLgrp;  // 16 groups; only adScale is stored
    // The text types are EntMoj of TJwDocument; a figure does not store them.

    void DataInit();
    void DataFree();

    // True when the file starts with "JwsData" and carries a version 230..700.
    static bool FileCheck(const std::string& fileName);
    // Why FileCheck fails: kNone when it passes, else kCannotOpen, kNotJw,
    // kUnknownVersion or kDamaged (the magic without a version).
    static TJwFailure CheckFile(const std::string& fileName);
    bool FileHeaderIn(const std::string& fileName);
    bool StreamHeaderIn(ArchiveReader& in);
    // Reads the whole figure; as TJwwData::FileIn, without bound images.
    bool FileIn(const std::string& fileName);

    // ---- Defaults (Defaults.cpp) ----

    // Header, layer groups and text types as in a new figure of version 600;
    // entities, n1, n2 and Mx1 .. My2 stay.
    void DataDefaultSet();

    int32_t& HeaderN1() override { return Enthd.n1; }
    int32_t& HeaderN2() override { return Enthd.n2; }
    int32_t HeaderN1() const override { return Enthd.n1; }
    int32_t HeaderN2() const override { return Enthd.n2; }
    // As TJwDocument::AddEntPost; a figure with entities or definitions then
    // stores its extents in Mx1 .. My2 (EntityBuilder.cpp).
    bool AddEntPost() override;

    // ---- Preview reader (Preview.cpp) ----

    // Reads like FileIn, but only the first ZMaxN class tags of the entity
    // list and the definitions' member lists (a negative ZMaxN counts as 0),
    // for a quick preview. n1 keeps the file's count and EntNo empty entries
    // for what was not read; a definition cut short keeps its N and empty
    // mNo entries, later ones stay empty. When the budget ends inside the
    // entity list the definitions are not reached: none, n2 0. Publishes no
    // drawing information and reads no bound images.
    bool FilePrevIn(const std::string& fileName, int ZMaxN);

protected:
    // Scale denominator of a layer group (BlockExplode.cpp).
    double LayerGroupScale(int group) const override;
    // A figure is written in versions up to 230 as 230, version 300 as 351;
    // the adjusted version decides every layout rule.
    void WriteContent(ArchiveWriter& out, int Ver, TWrittenFile& written) const override;
    void StampMagic() override;

public:
    // Extents of the figure, always starting at its base point. False as
    // for the drawing.
    bool GetMinMaxZahyo();
    // Hands the layer groups' scales to the display's layer-attribute table.
    void SetGAttLayer() const;

    static constexpr size_t kHeaderSize = 452;
    static constexpr size_t kFillerSize = 193;

private:
    void ReadHeader(ArchiveReader& in);
    void WriteHeader(ArchiveWriter& out, int ver) const;
};

}  // namespace talvine

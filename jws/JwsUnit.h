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
    std::vector<TEntJwwMojiType> EntMoj;     // text types; empty after a read

    void DataInit();
    void DataFree();

    // True when the file starts with "JwsData" and carries a version 230..700.
    static bool FileCheck(const std::string& fileName);
    bool FileHeaderIn(const std::string& fileName);
    bool StreamHeaderIn(ArchiveReader& in);
    // Reads the whole figure; as TJwwData::FileIn, without bound images.
    bool FileIn(const std::string& fileName);
    // Writes the figure. Versions up to 230 are written as 230, version 300
    // as 351; the adjusted version decides every layout rule.
    bool FileOut(const std::string& fileName, int Ver);

    // ---- Defaults (Defaults.cpp) ----

    // ---- Preview reader (Preview.cpp) ----

    // Extents of the figure, always starting at its base point.
    void GetMinMaxZahyo();
    // Hands the layer groups' scales to the display's layer-attribute table.
    void SetGAttLayer() const;

    static constexpr size_t kHeaderSize = 452;
    static constexpr size_t kFillerSize = 193;

private:
    void ReadHeader(ArchiveReader& in);
    void WriteHeader(ArchiveWriter& out, int ver);
};

}  // namespace talvine

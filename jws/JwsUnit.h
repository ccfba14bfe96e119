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
#include "jww/JwwFormat.h"
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
    // The layer groups are EntLgrp of TJwDocument (only their scales are
    // stored); the text types EntMoj, which a figure does not store.

    // Resets the document to empty. (DataFree, FileHeaderIn, StreamHeaderIn,
    // FileIn, FilePrevIn and GetMinMaxZahyo are TJwDocument's.)
    void DataInit() override;

    // True when the file starts with "JwsData" and carries a version 230..700.
    static bool FileCheck(const std::string& fileName);
    // Why FileCheck fails: kNone when it passes, else kCannotOpen, kNotJw,
    // kUnknownVersion or kDamaged (the magic without a version).
    static TJwFailure CheckFile(const std::string& fileName);

    // Header, layer groups and text types as in a new figure of version 600;
    // entities, n1, n2 and Mx1 .. My2 stay.
    void DataDefaultSet();

    int32_t& HeaderN1() override { return Enthd.n1; }
    int32_t& HeaderN2() override { return Enthd.n2; }
    int32_t HeaderN1() const override { return Enthd.n1; }
    int32_t HeaderN2() const override { return Enthd.n2; }
    int32_t FileVersion() const override { return Enthd.jwVer; }
    // As TJwDocument::AddEntPost; a figure with entities or definitions then
    // stores its extents in Mx1 .. My2.
    bool AddEntPost() override;

    // Hands the layer groups' scales to the display's layer-attribute table.
    void SetGAttLayer() const;

    static constexpr size_t kHeaderSize = 452;
    static constexpr size_t kFillerSize = fmt::kJwsFillerSize;

protected:
    void ReadHeader(ArchiveReader& in) override;
    void WriteHeader(ArchiveWriter& out, int ver) const override;
    // A figure is written in versions up to 230 as 230, version 300 as 351.
    int OutputVersion(int Ver) const override;
    // A figure has no memo, drawing time or print scale of its own.
    TDrawingInfo DrawingInfo(const std::string& fileName) const override;
    // The extents of a figure start at its base point.
    bool ExtentSeed(double& x, double& y) const override;
    void StampMagic() override;
};

}  // namespace talvine

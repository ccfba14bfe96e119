// The drawing document: one Jw_cad drawing (.jww) in memory, with its reader
// and writer. Entities, block definitions, the block tree and bound images
// are kept by the common part TJwDocument; this class adds the drawing header
// and its tables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jww/JwDocument.h"
#include "jww/jwwtype.h"

namespace talvine {

// The drawing header. Fields in file order; the conditions on the version
// are kept in JwwHeader.cpp.
struct TEntJwwHeader {
    std::string jwID;  // "JwwData."
    int32_t jwVer = 0;
    std::u16string strMemo;
    int32_t nZumen = 0, nWriteGLay = 0;
    int32_t lnSunpou1 = 0, lnSunpou2 = 0, lnSunpou3 = 0, lnSunpou4 = 0, lnSunpou5 = 0;
    int32_t nMaxDrawWid = 0;
    double DPPrtGenten_x = 0, DPPrtGenten_y = 0, dPrtBairitsu = 0;
    int32_t nPrtSet = 0, nMemoriMode = 0;
    double dMemoriHyoujiMin = 0, dMemoriX = 0, dMemoriY = 0, DpMemoriKjTen_x = 0, DpMemoriKjTen_y = 0;
    double dKageLevel = 0, dKageIdo = 0;
    int32_t nKage9_15JiFlg = 0;
    double dKabeKageLevel = 0;
    double dTenkuuZuLevel = 0, dTenkuuZuEnkoR = 0;
    int32_t nMMTani3D = 0;
    double dBairitsu = 0, DPGenten_x = 0, DPGenten_y = 0, dHanniBairitsu = 0, DPHanniGenten_x = 0,
           DPHanniGenten_y = 0;
    // Zoom jumps, indexed 1..8 (element 0 unused).
    double dZoomJumpBairitsu[9] = {};
    double DPZoomJumpGenten_x[9] = {};
    double DPZoomJumpGenten_y[9] = {};
    int32_t nZoomJumpGLay[9] = {};
    double dDm11 = 0, dDm12 = 0, dDm13 = 0;
    int32_t lnDm1 = 0;
    double dDm21 = 0, dDm22 = 0, dMojiBG = 0;
    int32_t nMojiBG = 0;
    double adFukusenSuuchi[10] = {};
    double dRyougawaFukusenTomeDe = 0;
    int32_t nDrawGamenTen = 0, nDrawPrtTen = 0, nBitMapFirstDraw = 0, nGyakuDraw = 0, nGyakuSearch = 0,
            nColorPrint = 0, nLayJunPrint = 0, nColJunPrint = 0, nPrtRenzoku = 0, nPrtKyoutsuuGray = 0;
    int32_t nPrtDpi = 0, nPrtDispOnlyNonDraw = 0;  // stored as one value
    int32_t lnDrawTime = 0, nEyeInit = 0, dEye_H_Ichi_1 = 0, dEye_H_Ichi_2 = 0, dEye_H_Ichi_3 = 0;
    double dEye_Z_Ichi_1 = 0, dEye_Y_Ichi_1 = 0, dEye_Z_Ichi_2 = 0, dEye_Y_Ichi_2 = 0, dEye_V_Ichi_3 = 0;
    double dSenNagasaSnpou = 0, dBoxSunpouX = 0, dBoxSunpouY = 0, dEnHankeiSnpou = 0;
    int32_t nSolidNinniColor = 0, SolidColor = 0;
    double dMojiSizeX = 0, dMojiSizeY = 0, dMojiKankaku = 0;
    int32_t nMojiColor = 0, nMojiShu = 0;
    double dMojiSeiriGyouKan = 0, dMojiSeiriSuu = 0;
    int32_t nMojiKijunZureOn = 0;
    double adMojiKijunZureX0 = 0, adMojiKijunZureX1 = 0, adMojiKijunZureX2 = 0, adMojiKijunZureY0 = 0,
           adMojiKijunZureY1 = 0, adMojiKijunZureY2 = 0;
    // Counts kept by the document: entries of EntNo, block definitions.
    int32_t n1 = 0, n2 = 0;
    // Derived from nMaxDrawWid on reading, not stored.
    int32_t nMaxDrawWidBak = 0;
    bool bSenHaba100 = false;

    bool operator==(const TEntJwwHeader&) const = default;
};


class TJwwData : public TJwDocument {
public:
    TJwwData();  // runs DataInit

    TEntJwwHeader Enthd;
    // The 16 layer groups are EntLgrp of TJwDocument.
    std::vector<TEntJwwLayer> EntLay;         // 256 layers, group G layer L at G * 16 + L
    std::vector<TEntJwwColorNo> EntCol;       // 10 pen colours
    std::vector<TEntJwwLineTypeNo> EntLtp1;   // 8 line types
    std::vector<TEntJwwRandomLineNo> EntLtp2; // 5 random lines
    std::vector<TEntJwwLineTypeNo> EntLtp3;   // 4 further line types
    std::vector<TEntJwwColorExNo> EntColS;    // 257 extended colours
    std::vector<TEntJwwLineTypeExNo> EntLtpS; // 33 extended line types
    // The 10 text types are EntMoj of TJwDocument.

    // Resets the document to empty; keeps BindImageFolder, BindImageExp,
    // BindImageExr and the extents. (DataFree, FileHeaderIn, StreamHeaderIn,
    // FileIn, FilePrevIn and GetMinMaxZahyo are TJwDocument's.)
    void DataInit() override;

    // True when the file starts with "JwwData." and a version 220..700.
    static bool FileCheck(const std::string& fileName);
    // Why FileCheck fails: kNone when it passes, else kCannotOpen, kNotJw,
    // kUnknownVersion or kDamaged (the magic without a version).
    static TJwFailure CheckFile(const std::string& fileName);

    // ---- Defaults and display tables (Defaults.cpp) ----

    // The header and every table as in a new, empty drawing of version 600;
    // n1, n2, the entities and the bound images stay.
    void DataDefaultSet();
    // Hands the pen colours (nothing when EntCol is empty) and the line types
    // (nothing when EntLtp1 is empty) to the display tables, in display units.
    void FileColorSet() const;
    void FileLtypeSet() const;

    int32_t& HeaderN1() override { return Enthd.n1; }
    int32_t& HeaderN2() override { return Enthd.n2; }
    int32_t HeaderN1() const override { return Enthd.n1; }
    int32_t HeaderN2() const override { return Enthd.n2; }
    int32_t FileVersion() const override { return Enthd.jwVer; }

    // Paper width and height in millimetres for the header's paper code.
    void GetPaperSize(double& px, double& py) const;
    // Hands the layer table to the display's layer-attribute table.
    void SetGAttLayer() const;

protected:
    void ReadHeader(ArchiveReader& in) override;
    void WriteHeader(ArchiveWriter& out, int ver) const override;
    // From version 700 the bound images follow the block definitions.
    void ReadTrailer(ArchiveReader& in) override;
    void WriteTrailer(ArchiveWriter& out, int ver, TWrittenFile& written) const override;
    TDrawingInfo DrawingInfo(const std::string& fileName) const override;
    void StampMagic() override;

private:
    void ReadBindImages(ArchiveReader& in);
    void WriteBindImages(ArchiveWriter& out, TWrittenFile& written) const;
};

}  // namespace talvine

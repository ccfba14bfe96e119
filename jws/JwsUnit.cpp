#include "jws/JwsUnit.h"

#include <new>
#include <stdexcept>

#include "jww/Archive.h"
#include "jww/Defaults.h"
#include "jww/DisplayTables.h"
#include "jww/JwwFormat.h"
#include "util/Platform.h"

namespace talvine {

TJwsData::TJwsData() { DataInit(); }

void TJwsData::DataInit() {
    ResetEntities();
    EntLgrp.clear();
    EntMoj.clear();
    Enthd = TEntJwsHeader{};
}

TJwFailure TJwsData::CheckFile(const std::string& fileName) {
    return CheckFileAs(fileName, TJwKind::kFigure);
}

bool TJwsData::FileCheck(const std::string& fileName) { return CheckFile(fileName) == TJwFailure::kNone; }

void TJwsData::ReadHeader(ArchiveReader& in) {
    TEntJwsHeader& h = Enthd;
    EntLgrp.resize(16);
    const uint8_t* magic = in.Take(fmt::kJwsMagicLen);
    h.jwID.assign(reinterpret_cast<const char*>(magic), fmt::kJwsMagicLen);
    if (h.jwID != fmt::kJwsMagic) throw JwIoError(fmt::kErrJwsHeader);
    in.Skip(kFillerSize);
    h.jwVer = in.I32();
    if (h.jwVer < fmt::kJwsMinVersion || h.jwVer > fmt::kMaxVersion) throw JwIoError(fmt::kErrJwsVersion);
    h.BasePoint_x = in.F64();
    h.BasePoint_y = in.F64();
    for (auto& g : EntLgrp) {
        g.adScale = in.F64();
        g.anGLay = 2;  // the other group fields are not stored in a figure
        g.anWriteLay = 0;
        g.anGLayProtect = 0;
        g.aStrGLayName.clear();
    }
    for (int32_t* p : {&h.dmy01, &h.dmy02, &h.dmy03, &h.dmy04, &h.dmy05, &h.dmy06}) *p = in.I32();
    for (double* p : {&h.dmy11, &h.dmy12, &h.dmy13, &h.dmy14, &h.dmy15, &h.dmy16}) *p = in.F64();
    h.Mx1 = in.F64();
    h.My1 = in.F64();
    h.Mx2 = in.F64();
    h.My2 = in.F64();
}

void TJwsData::WriteHeader(ArchiveWriter& out, int ver) const {
    const TEntJwsHeader& h = Enthd;
    out.Bytes(fmt::kJwsMagic, fmt::kJwsMagicLen);
    const std::string filler(kFillerSize, '.');
    out.Bytes(filler.data(), filler.size());
    out.I32(ver);
    out.F64(h.BasePoint_x);
    out.F64(h.BasePoint_y);
    const TFixedTable groups(EntLgrp, 16);
    for (size_t g = 0; g < groups.size(); ++g) out.F64(groups[g].adScale);
    for (int32_t v : {h.dmy01, h.dmy02, h.dmy03, h.dmy04, h.dmy05, h.dmy06}) out.I32(v);
    for (double v : {h.dmy11, h.dmy12, h.dmy13, h.dmy14, h.dmy15, h.dmy16}) out.F64(v);
    out.F64(h.Mx1);
    out.F64(h.My1);
    out.F64(h.Mx2);
    out.F64(h.My2);
}

int TJwsData::OutputVersion(int Ver) const {
    const int ver = Ver <= fmt::kJwsMinVersion ? fmt::kJwsMinVersion : Ver;
    return ver == fmt::kVer300 ? fmt::kVer351 : ver;
}

TDrawingInfo TJwsData::DrawingInfo(const std::string& fileName) const {
    TDrawingInfo info;
    info.fileName = fileName;
    info.printScale = 1.0;
    return info;
}

bool TJwsData::ExtentSeed(double& x, double& y) const {
    x = Enthd.BasePoint_x;
    y = Enthd.BasePoint_y;
    return true;
}

void TJwsData::StampMagic() { Enthd.jwID = fmt::kJwsMagic; }

// ---- Defaults ----

void TJwsData::DataDefaultSet() {
    TEntJwsHeader& h = Enthd;
    h.jwID = "JwsData";
    h.jwVer = 600;
    h.BasePoint_x = h.BasePoint_y = 0.0;
    h.dmy01 = 1;
    h.dmy02 = 2;
    h.dmy03 = 3;
    h.dmy04 = 4;
    h.dmy05 = 5;
    h.dmy06 = 6;
    h.dmy11 = 1.0;
    h.dmy12 = 2.0;
    h.dmy13 = 3.0;
    h.dmy14 = 4.0;
    h.dmy15 = 5.0;
    h.dmy16 = 6.0;
    EntLgrp = DefaultLayerGroups(2);
    EntMoj = DefaultTextTypes();
}

// ---- The entity builder's bracket ----

bool TJwsData::AddEntPost() {
    // The extents need the block tree, which the common part has rebuilt.
    const bool ok = TJwDocument::AddEntPost();
    if (static_cast<int64_t>(Enthd.n1) + Enthd.n2 <= 0) return ok;
    try {
        if (!GetMinMaxZahyo()) return false;
        Enthd.Mx1 = myMinWx;
        Enthd.My1 = myMinWy;
        Enthd.Mx2 = myMaxWx;
        Enthd.My2 = myMaxWy;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return ok;
}

// ---- The display ----

void TJwsData::SetGAttLayer() const {
    ResetLayerAttrTable();
    std::vector<TLayerAttr>& table = LayerAttrTable();
    for (size_t i = 0; i < static_cast<size_t>(kLayerAttrCount); ++i) {
        const size_t g = i / 16;
        table[i].state = 1;
        table[i].scale = GroupScale(g < EntLgrp.size() ? EntLgrp[g].adScale : 1.0);
    }
}

}  // namespace talvine

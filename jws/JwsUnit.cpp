#include "jws/JwsUnit.h"

#include "jww/Archive.h"
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

void TJwsData::DataFree() {
    FreeEntities();
    DataInit();
}

TJwFailure TJwsData::CheckFile(const std::string& fileName) {
    return CheckFileStart(fileName, fmt::kJwsMagic, fmt::kJwsMagicLen, kFillerSize, fmt::kJwsMinVersion);
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

bool TJwsData::StreamHeaderIn(ArchiveReader& in) { return Guarded([&] { ReadHeader(in); }); }

bool TJwsData::FileHeaderIn(const std::string& fileName) {
    DataInit();
    return ReadFile(fileName, [&](ArchiveReader& in) { return StreamHeaderIn(in); }, nullptr);
}

bool TJwsData::FileIn(const std::string& fileName) {
    DataInit();
    return ReadFile(
        fileName, [&](ArchiveReader& in) { return StreamHeaderIn(in); },
        [&](ArchiveReader& in) {
            // A figure has no memo, drawing time or print scale of its own.
            TDrawingInfo info;
            info.fileName = fileName;
            info.printScale = 1.0;
            PublishDrawingInfo(std::move(info));
            // The figure ends with its block definitions: no image section.
            ReadEntitySection(in, Enthd.jwVer, Enthd.n1, Enthd.n2);
        });
}


void TJwsData::WriteContent(ArchiveWriter& out, int Ver, TWrittenFile& written) const {
    int ver = Ver <= fmt::kJwsMinVersion ? fmt::kJwsMinVersion : Ver;
    if (ver == fmt::kVer300) ver = fmt::kVer351;
    WriteHeader(out, ver);
    WriteEntitySection(out, ver, Enthd.jwVer, Enthd.n1, Enthd.n2, written);
}

void TJwsData::StampMagic() { Enthd.jwID = fmt::kJwsMagic; }

}  // namespace talvine

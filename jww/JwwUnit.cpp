#include "jww/JwwUnit.h"

#include <cstdio>

#include "jww/Archive.h"
#include "jww/JwwFormat.h"
#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine {

namespace {

std::u16string TwoDigits(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return Utf8ToUtf16(buf);
}

}  // namespace

TDrawingInfo TJwwData::DrawingInfo(const std::string& fileName) const {
    const TEntJwwHeader& h = Enthd;
    TDrawingInfo info;
    info.fileName = fileName;
    info.drawTime = IntToStrDec(h.lnDrawTime / 3600) + u" : " + TwoDigits((h.lnDrawTime / 60) % 60);
    const size_t br = h.strMemo.find(u"\r\n");
    if (br == std::u16string::npos) {
        info.memoLine1 = h.strMemo;
        info.memoOneLine = h.strMemo;
    } else {
        info.memoLine1 = h.strMemo.substr(0, br);
        info.memoLine2 = h.strMemo.substr(br + 2);
        info.memoOneLine = info.memoLine1 + u"\u3000" + info.memoLine2;
    }
    info.printScale = h.dPrtBairitsu;
    return info;
}

TJwwData::TJwwData() { DataInit(); }

void TJwwData::DataInit() {
    ResetEntities();
    EntLgrp.clear();
    EntLay.clear();
    EntCol.clear();
    EntLtp1.clear();
    EntLtp2.clear();
    EntLtp3.clear();
    EntColS.clear();
    EntLtpS.clear();
    EntMoj.clear();
    Enthd = TEntJwwHeader{};
    TEntJwwHeader& h = Enthd;
    h.dPrtBairitsu = h.dMemoriHyoujiMin = h.dMemoriX = h.dMemoriY = 1.0;
    h.dBairitsu = h.dHanniBairitsu = 1.0;
    for (int i = 1; i <= 8; ++i) {
        h.dZoomJumpBairitsu[i] = 1.0;
        h.nZoomJumpGLay[i] = -1;
    }
}

TJwFailure TJwwData::CheckFile(const std::string& fileName) {
    return CheckFileAs(fileName, TJwKind::kDrawing);
}

bool TJwwData::FileCheck(const std::string& fileName) { return CheckFile(fileName) == TJwFailure::kNone; }

void TJwwData::ReadTrailer(ArchiveReader& in) {
    if (Enthd.jwVer < fmt::kVer700) return;
    BindImageInit();
    if (BindImageExp || BindImageExr) ReadBindImages(in);
}

void TJwwData::WriteTrailer(ArchiveWriter& out, int ver, TWrittenFile& written) const {
    if (ver >= fmt::kVer700) WriteBindImages(out, written);
}

void TJwwData::StampMagic() { Enthd.jwID = fmt::kJwwMagic; }

}  // namespace talvine

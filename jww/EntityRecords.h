// One read and one write per entity record, in the on-disk layouts below.
// Offsets are for version >= 351; up to version 350 the attribute block has
// no nPenWidth and every later offset is 2 less.
//
//   CDataSen    47  attr 0, start_x 15, start_y 23, end_x 31, end_y 39
//   CDataEnko   75  attr 0, start_x 15, start_y 23, dHankei 31, radKaishiKaku 39,
//                   radEnkoKaku 47, radKatamukiKaku 55, dHenpeiRitsu 63, bZenEnFlg 71 (u32)
//   CDataTen    35  attr 0, start_x 15, start_y 23, bKariten 31 (u32);
//                   pen style 100 adds nCode 35 (u32), radKaitenKaku 39, dBairitsu 47
//   CDataMoji   83  attr 0, start_x 15, start_y 23, end_x 31, end_y 39, nMojiShu 47 (u32),
//                   dSizeX 51, dSizeY 59, dKankaku 67, degKakudo 75; then strFontName, str
//   CDataSunpou     attr, CDataSen, CDataMoji; from 420: bSxfMode (u16), 2 x CDataSen
//                   (Ho1, Ho2), 4 x CDataTen (Te1, Te2, Kt1, Kt2)
//   CDataSolid  79  attr 0, start/end/DPoint2/DPoint3 x,y 15..71; pen colour 10 adds Color 79 (u32)
//   CDataBlock  59  attr 0, DPKijunTen_x 15, DPKijunTen_y 23, dBairitsuX 31, dBairitsuY 39,
//                   radKaitenKaku 47, nNumber 55 (u32)
//   CDataList   27  attr 0, nNumber 15, bRefferd 19, dtime 23 (u32 each); then strName,
//                   the member count and the members
//
// Readers throw ShortReadError when the data ends inside the record.
#pragma once

#include "jww/Archive.h"
#include "jww/jwwtype.h"

namespace talvine {

// How a point that carries no symbol gets its symbol fields on reading.
enum class PointDefaults { kTopLevel, kMember };

void ReadLineRec(ArchiveReader& in, int ver, TEntJwwLine& e);
void ReadEnkoRec(ArchiveReader& in, int ver, TEntJwwEnko& e);
void ReadTenRec(ArchiveReader& in, int ver, TEntJwwTen& e, PointDefaults defaults);
void ReadMojiRec(ArchiveReader& in, int ver, TEntJwwMoji& e);
void ReadSunpoRec(ArchiveReader& in, int ver, TEntJwwSunpo& e);
void ReadSolidRec(ArchiveReader& in, int ver, TEntJwwSolid& e);
void ReadBlockRec(ArchiveReader& in, int ver, TEntJwwBlock& e);

// Writers apply AttrOut with the given kind and the computed-field rules of
// the writer (symbol fields, own colour, clamped text sizes); texts are
// written as given (the caller prepares them).
void WriteLineRec(ArchiveWriter& out, int ver, const TEntJwwLine& e);
void WriteEnkoRec(ArchiveWriter& out, int ver, const TEntJwwEnko& e);
void WriteTenRec(ArchiveWriter& out, int ver, const TEntJwwTen& e, uint32_t bKariten);
void WriteMojiRec(ArchiveWriter& out, int ver, const TEntJwwMoji& e, std::u16string_view font,
                  std::u16string_view str);
void WriteSolidRec(ArchiveWriter& out, int ver, const TEntJwwSolid& e);
void WriteBlockRec(ArchiveWriter& out, int ver, const TEntJwwBlock& e, uint32_t number);

// A text size as the writer stores it: |v| limited to 1e-10 .. 1e10.
double ClampTextSize(double v);

}  // namespace talvine

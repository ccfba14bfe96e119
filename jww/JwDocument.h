// What the drawing document (TJwwData) and the figure document (TJwsData)
// have in common: the entity arrays and the drawing-order list, the block
// definitions and the block tree, the bound-image list, the writer options,
// and the entity section of the file that both formats store byte for byte
// alike. Each document adds its own header and version handling.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "jww/EntityLists.h"
#include "jww/jwwtype.h"

namespace talvine {

class ArchiveReader;
class ArchiveWriter;

// Values of the drawing or figure read last, for the display's text
// special codes (process-wide; only the display reads them).
struct TDrawingInfo {
    std::string fileName;
    std::u16string drawTime;      // hours " : " minutes (two digits)
    std::u16string memoLine1, memoLine2, memoOneLine;
    double printScale = 1.0;
};
// The drawing information published by the last read of either document
// (of any thread).
TDrawingInfo CurrentDrawingInfo();
void PublishDrawingInfo(TDrawingInfo info);

// Which document reads a file: a drawing (.jww), a figure (.jws) or none.
enum class TJwKind { kNone, kDrawing, kFigure };

// Why an operation on a document failed.
enum class TJwFailure {
    kNone,
    kCannotOpen,   // the file cannot be opened (missing, no permission)
    kNotJw,        // not a drawing or figure of a known version
    kUnknownVersion,  // the right kind of file, of a version this program does not know
    kDamaged,      // damaged or incomplete
    kTooComplex,   // the block structure exceeds what the program handles
    kOutOfMemory,  // memory ran out
    kCannotWrite,  // the output cannot be created or written
};

// A document runs the reading and writing of its file; the drawing and the
// figure supply what differs: the header (ReadHeader, WriteHeader), the
// version they write (OutputVersion), what follows the block definitions
// (ReadTrailer, WriteTrailer), the drawing information of a file read, and
// the point their extents start at (ExtentSeed).
class TJwDocument {
public:
    // ---- Reading ----

    // Resets the document to empty (the document's own header and tables
    // included); keeps BindImageFolder, BindImageExp, BindImageExr and the
    // extents.
    virtual void DataInit() = 0;
    // Empties every block definition's members, then DataInit.
    void DataFree();
    // DataInit, then reads the header (and a drawing's tables) of the file.
    bool FileHeaderIn(const std::string& fileName);
    // Reads the header from in; false on any failure (the fields read so far
    // stay).
    bool StreamHeaderIn(ArchiveReader& in);
    // Reads the whole file. True when everything up to its end was read; on
    // false the document holds what was read before the failure (and the
    // block tree built from it).
    bool FileIn(const std::string& fileName);
    // The same from file, open for reading at its start (IdentifyFile leaves
    // it there), which fileName names; file is closed afterwards.
    bool FileIn(platform::File& file, const std::string& fileName);
    // Reads like FileIn, but only the first ZMaxN class tags of the entity
    // list and the definitions' member lists (a negative ZMaxN counts as 0),
    // for a quick preview. n1 keeps the file's count and EntNo empty entries
    // for what was not read; a definition cut short keeps its N and empty
    // mNo entries, later ones stay empty. When the budget ends inside the
    // entity list the definitions are not reached: none, n2 0. Publishes no
    // drawing information and reads no bound images.
    bool FilePrevIn(const std::string& fileName, int ZMaxN);
    // The version the file read declared (Enthd.jwVer).
    virtual int32_t FileVersion() const = 0;

    // Extents of the entities into myMinWx, myMinWy, myMaxWx, myMaxWy: a
    // figure's start at its base point. False when it gave up (a cut block
    // tree, placed contents beyond the work allowance, no memory):
    // LastFailure tells why, the fields stay.
    bool GetMinMaxZahyo();

    // 16 layer groups (a figure stores only their scales).
    std::vector<TEntJwwLayerGroup> EntLgrp;

    // ---- Entities (fields keep the file format's names) ----
    TArray<TEntJwwNo> EntNo;  // drawing order
    TArray<TEntJwwLine> EntLine;
    int32_t EntLineN = 0;
    TArray<TEntJwwEnko> EntEnko;
    int32_t EntEnkoN = 0;
    TArray<TEntJwwTen> EntTen;
    int32_t EntTenN = 0;
    TArray<TEntJwwMoji> EntMoji;
    int32_t EntMojiN = 0;
    TArray<TEntJwwSunpo> EntSunpo;
    int32_t EntSunpoN = 0;
    TArray<TEntJwwSolid> EntSolid;
    int32_t EntSolidN = 0;
    TArray<TEntJwwBlock> EntBlock;
    int32_t EntBlockN = 0;
    TArray<TEntJwwBlockDef> EntBlockDef;
    int32_t EntBlockDefN = 0;
    TArray<TEntJwwBlockTree> EntBlockTree;
    int32_t EntBlockTreeN = 0;
    int32_t EntBlockNum = 0;  // definitions the writer will emit

    // ---- Bound images ----
    std::string BindImageFolder;  // this system's path, ends with a separator
    std::vector<TBindImageType> BindImage;
    int32_t BindImageN = 0;
    bool BindImageExp = false;  // extract bound images while reading
    bool BindImageExr = false;  // keep the image list while reading

    // What one write produced, for whoever checks the file afterwards.
    struct TWrittenFile {
        uint32_t checksum = 0;    // CRC-32 of the whole file, when asked for
        int64_t headerSize = 0;   // bytes before the entity section
        std::vector<int32_t> images;  // the bound images stored, by index in BindImage
        int32_t definitionsLeftOut = 0;  // block definitions nothing places, not stored
        TJwFailure failure = TJwFailure::kNone;  // when the write failed
        std::string error;        // its error text (never shown to users)
    };

    // Writes the document in format version Ver (a figure adjusts it: see
    // TJwsData::WriteContent) under a temporary name in the same folder,
    // then gives it the name fileName. True when the file was written
    // completely; on false nothing is left at fileName's place that was not
    // there before, and LastError is set. Afterwards Enthd.jwID holds the
    // magic and every bound image's exf tells whether it was stored.
    bool FileOut(const std::string& fileName, int Ver);
    // Writes the same into file, open for writing and empty, and closes it;
    // FileOut's bookkeeping included.
    bool FileOutTo(platform::File& file, int Ver);
    // The write itself: it only reads the document, so that other readers
    // (the tally of what the output must hold) may run beside it. What it
    // produced goes to written; its checksum only when asked for (taking it
    // costs as much as writing a large file).
    bool WriteTo(platform::File& file, int Ver, TWrittenFile& written, bool checksum = true) const;

    int32_t FileOutOpt = 0;  // writer option bits (32: strings in UTF-16)
    int32_t FontNameN = 0;
    std::vector<std::u16string> FontNames;
    bool MojiEncode = false;  // a string of the file read was UTF-16
    double myMinWx = 0, myMinWy = 0, myMaxWx = 0, myMaxWy = 0;  // extents

    // Error text of the last failed FileIn or FileOut (never shown to users).
    std::string LastError;
    // Why the last FileCheck, FileIn or FileOut failed, as data for the
    // user's message; kNone after a success.
    TJwFailure LastFailure = TJwFailure::kNone;

    // Bytes the header of the file read last took: where its entity section
    // began (0 when nothing was read).
    int64_t HeaderSize = 0;

    TEntityLists TopLists();
    TEntityView TopLists() const;

    // ---- Block tree and block definitions ----

    // Rebuilds EntBlockTree, ref_flag, ref_no and EntBlockNum from the inserts
    // and definitions. A placement that would re-enter a definition already on
    // its own path is recorded but not expanded. The tree stops growing at
    // kMaxBlockTreeNodes nodes, when its work allowance (WorkAllowance) is
    // spent or when memory runs out; bBlockTreeCut then tells that it lacks
    // placements, LastFailure says why (kTooComplex, kOutOfMemory) and the
    // reads that build it fail. The reference marks are computed in full
    // whatever happens to the tree. Never throws.
    void MakeBlockTree();
    static constexpr int32_t kMaxBlockTreeNodes = 1'000'000;
    // True when the last MakeBlockTree could not record every placement.
    // Extents and the block explode refuse such a tree.
    bool bBlockTreeCut = false;

    // Work that one operation (building the block tree, the extents, the
    // block explode) may do before it gives up as too complex: a fixed
    // allowance and a share per entity the document holds, so that the
    // cost of any document is bounded by a multiple of its size. A unit is
    // about one point carried through one placement, or one tree node.
    static constexpr int64_t kFixedWork = int64_t{1} << 25;  // about 33.5 million
    static constexpr int64_t kWorkPerEntity = 64;
    int64_t WorkAllowance() const;
    // Index of the first definition whose base name equals that of ps, or -1
    // (also when memory runs out).
    int GetBlkNo(const std::u16string& ps) const;
    // nNumber of definition bdn, or -1 when bdn is out of range.
    int GetBlkNumber(int bdn) const;
    // ps when no definition has its base name, else a free "base~n" + suffix;
    // empty when memory runs out.
    std::u16string GetBlkName(const std::u16string& ps) const;
    // Number under which definition number n is written (0 when none has n).
    uint32_t ChangeBlockNo(uint32_t n) const;
    // FileOutOpt = n for 0 <= n < 64, else 0.
    void SetFileOutOption(int n);

    // ---- Entity builder (EntityBuilder.cpp) ----

    // Appends entities with validated attributes to the top level (AddEnt...)
    // or to block definition bdn (AddBlk...), keeping EntNo or the
    // definition's mNo in step. Every adding operation starts with the common
    // parameters cn (group), lg (layer group), ly (layer), co (pen colour),
    // tp (pen style), wd (pen width) and fl (flag bits), then the kind's own;
    // angles are passed in degrees. The result is true when the entity was
    // added; false when it was refused or memory ran out, and then nothing
    // changed. A series of additions is bracketed by AddEntPre and AddEntPost;
    // the block tree is stale in between.

    // Text types of texts and dimension texts added by the builder: ten
    // entries (DataDefaultSet or the header of a drawing read).
    std::vector<TEntJwwMojiType> EntMoj;

    // Sets the header's magic (Enthd.jwID), as every write leaves it.
    virtual void StampMagic() = 0;
    // What FileOut writes for version Ver: the header, the entities and
    // what follows them (a drawing's bound images), in OutputVersion(Ver).
    void WriteContent(ArchiveWriter& out, int Ver, TWrittenFile& written) const;

    // The header's counts: entries of EntNo (n1) and block definitions (n2).
    virtual int32_t& HeaderN1() = 0;
    virtual int32_t& HeaderN2() = 0;
    virtual int32_t HeaderN1() const = 0;
    virtual int32_t HeaderN2() const = 0;

    TJwDocument() = default;
    TJwDocument(const TJwDocument&) = default;
    TJwDocument(TJwDocument&&) = default;
    TJwDocument& operator=(const TJwDocument&) = default;
    TJwDocument& operator=(TJwDocument&&) = default;
    virtual ~TJwDocument() = default;

    // Room for 1000 more entries in EntNo and in every top-level array, 500
    // more in each definition's lists. Counts stay.
    bool AddEntPre();
    // Cuts every array and list to its count, then rebuilds the block tree.
    // The figure also stores its extents.
    virtual bool AddEntPost();

    bool AddEntLine(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1, double px2,
                    double py2);
    bool AddEntArc(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px, double py, double pr, double ph,
                   double psa, double pda, double pka);
    // tp is the point code.
    bool AddEntTen(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px, double py, double pa, double pb);
    // Corner form: the text runs from (px1, py1) to (px2, py2); tp is the anchor.
    bool AddEntMoji(int cn, int lg, int ly, int co, int tp, int wd, int fl, int ms, double px1, double py1, double px2,
                    double py2, double pw, double ph, double pd, double pa, const std::u16string& pf,
                    const std::u16string& ps);
    // Anchor form: the text is placed so that its anchor tp (1..9) lies at (px, py).
    bool AddEntMoji(int cn, int lg, int ly, int co, int tp, int wd, int fl, int ms, double px, double py, double pw,
                    double ph, double pd, double pa, const std::u16string& pf, const std::u16string& ps);
    // Dimension, form 1: line P1-P2, text between two corners.
    bool AddEntSunpo(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1, double px2,
                     double py2, int co2, int tp2, int wd2, int fl2, int ms, double px3, double py3, double px4,
                     double py4, double pw, double ph, double pd, double pa, const std::u16string& pf,
                     const std::u16string& ps);
    // Form 2: the text at anchor (px, py).
    bool AddEntSunpo(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1, double px2,
                     double py2, int co2, int tp2, int wd2, int fl2, int ms, double px, double py, double pw,
                     double ph, double pd, double pa, const std::u16string& pf, const std::u16string& ps);
    // Form 3: SXF dimension with extension lines, end points and reference points.
    bool AddEntSunpo(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1, double px2,
                     double py2, int co2, int tp2, int wd2, int fl2, int ms, double px3, double py3, double px4,
                     double py4, double pw, double ph, double pd, double pa, const std::u16string& pf,
                     const std::u16string& ps,
                     int ex3, int co3, int tp3, int wd3, int fl3, double px5, double py5, double px6, double py6,
                     int ex4, int co4, int tp4, int wd4, int fl4, double px7, double py7, double px8, double py8,
                     int ex5, int co5, int tp5, int wd5, int fl5, double pb5,
                     int ex6, int co6, int tp6, int wd6, int fl6, double pb6,
                     int ex7, int co7, int tp7, int wd7, int fl7, double px9, double py9, double pb7,
                     int ex8, int co8, int tp8, int wd8, int fl8, double px10, double py10, double pb8);
    // Form 4: form 3 with the text at anchor (px, py).
    bool AddEntSunpo(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1, double px2,
                     double py2, int co2, int tp2, int wd2, int fl2, int ms, double px, double py, double pw,
                     double ph, double pd, double pa, const std::u16string& pf, const std::u16string& ps,
                     int ex3, int co3, int tp3, int wd3, int fl3, double px5, double py5, double px6, double py6,
                     int ex4, int co4, int tp4, int wd4, int fl4, double px7, double py7, double px8, double py8,
                     int ex5, int co5, int tp5, int wd5, int fl5, double pb5,
                     int ex6, int co6, int tp6, int wd6, int fl6, double pb6,
                     int ex7, int co7, int tp7, int wd7, int fl7, double px9, double py9, double pb7,
                     int ex8, int co8, int tp8, int wd8, int fl8, double px10, double py10, double pb8);
    // Form 5: form 4 with extension lines computed from the reference points:
    // each runs from d1 beyond its reference point towards its measured
    // point to d2 beyond the measured point.
    bool AddEntSunpo(int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1, double px2,
                     double py2, int co2, int tp2, int wd2, int fl2, int ms, double px, double py, double pw,
                     double ph, double pd, double pa, const std::u16string& pf, const std::u16string& ps,
                     double d1, double d2,
                     int ex3, int co3, int tp3, int wd3, int fl3,
                     int ex4, int co4, int tp4, int wd4, int fl4,
                     int ex5, int co5, int tp5, int wd5, int fl5, double pb5,
                     int ex6, int co6, int tp6, int wd6, int fl6, double pb6,
                     int ex7, int co7, int tp7, int wd7, int fl7, double px9, double py9, double pb7,
                     int ex8, int co8, int tp8, int wd8, int fl8, double px10, double py10, double pb8);
    // Solid with four corners, two (the second stands for corners 3 and 4)
    // or three (corner 4 repeats corner 1); fc is the RGB colour for co 10.
    bool AddEntSolid(int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px1, double py1,
                     double px2, double py2, double px3, double py3, double px4, double py4);
    bool AddEntSolid(int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px1, double py1,
                     double px2, double py2);
    bool AddEntSolid(int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px1, double py1,
                     double px2, double py2, double px3, double py3);
    // Filled circle or ellipse; the second form a filled arc segment.
    bool AddEntSolidA(int cn, int lg, int ly, int co, int wd, int fl, int fc, double px, double py, double pr,
                      double ph, double pka);
    bool AddEntSolidA(int cn, int lg, int ly, int co, int wd, int fl, int fc, double px, double py, double pr,
                      double ph, double pka, double psa, double pda);
    // Filled arc of shape tp (1, 2, 3; anything else a full circle).
    bool AddEntSolidC(int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px, double py,
                      double pr, double ph, double pka, double psa, double pda);
    // Filled ring segment with inner radius pri, style tp.
    bool AddEntSolidD(int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px, double py,
                      double pr, double pri, double ph, double pka, double psa, double pda);
    // Insert of the definition numbered bn.
    bool AddEntBlock(int cn, int lg, int ly, int co, int tp, int wd, int fl, int bn, double px, double py,
                     double pbx, double pby, double pa);

    // A new, empty definition named ps (made unique, with the figure-kind
    // suffix "@@SfigorgFlag@@" bf unless it has one), at index EntBlockDefN - 1.
    bool AddBlkDef(int cn, int lg, int ly, int co, int tp, int wd, int fl, int bf, const std::u16string& ps);
    // Cuts definition bdn's order list and lists to their counts.
    void AddBlkDefPost(int bdn);

    // The twins of the AddEnt operations for definition bdn.
    bool AddBlkLine(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1,
                    double px2, double py2);
    bool AddBlkArc(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px, double py, double pr,
                   double ph, double psa, double pda, double pka);
    bool AddBlkTen(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px, double py, double pa,
                   double pb);
    bool AddBlkMoji(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int ms, double px1, double py1,
                    double px2, double py2, double pw, double ph, double pd, double pa, const std::u16string& pf,
                    const std::u16string& ps);
    bool AddBlkMoji(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int ms, double px, double py,
                    double pw, double ph, double pd, double pa, const std::u16string& pf, const std::u16string& ps);
    bool AddBlkSunpo(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1,
                     double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms, double px3, double py3,
                     double px4, double py4, double pw, double ph, double pd, double pa, const std::u16string& pf,
                     const std::u16string& ps);
    bool AddBlkSunpo(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1,
                     double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms, double px, double py,
                     double pw, double ph, double pd, double pa, const std::u16string& pf, const std::u16string& ps);
    bool AddBlkSunpo(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1,
                     double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms, double px3, double py3,
                     double px4, double py4, double pw, double ph, double pd, double pa, const std::u16string& pf,
                     const std::u16string& ps,
                     int ex3, int co3, int tp3, int wd3, int fl3, double px5, double py5, double px6, double py6,
                     int ex4, int co4, int tp4, int wd4, int fl4, double px7, double py7, double px8, double py8,
                     int ex5, int co5, int tp5, int wd5, int fl5, double pb5,
                     int ex6, int co6, int tp6, int wd6, int fl6, double pb6,
                     int ex7, int co7, int tp7, int wd7, int fl7, double px9, double py9, double pb7,
                     int ex8, int co8, int tp8, int wd8, int fl8, double px10, double py10, double pb8);
    bool AddBlkSunpo(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1,
                     double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms, double px, double py,
                     double pw, double ph, double pd, double pa, const std::u16string& pf,
                     const std::u16string& ps,
                     int ex3, int co3, int tp3, int wd3, int fl3, double px5, double py5, double px6, double py6,
                     int ex4, int co4, int tp4, int wd4, int fl4, double px7, double py7, double px8, double py8,
                     int ex5, int co5, int tp5, int wd5, int fl5, double pb5,
                     int ex6, int co6, int tp6, int wd6, int fl6, double pb6,
                     int ex7, int co7, int tp7, int wd7, int fl7, double px9, double py9, double pb7,
                     int ex8, int co8, int tp8, int wd8, int fl8, double px10, double py10, double pb8);
    bool AddBlkSunpo(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, double px1, double py1,
                     double px2, double py2, int co2, int tp2, int wd2, int fl2, int ms, double px, double py,
                     double pw, double ph, double pd, double pa, const std::u16string& pf, const std::u16string& ps,
                     double d1, double d2,
                     int ex3, int co3, int tp3, int wd3, int fl3,
                     int ex4, int co4, int tp4, int wd4, int fl4,
                     int ex5, int co5, int tp5, int wd5, int fl5, double pb5,
                     int ex6, int co6, int tp6, int wd6, int fl6, double pb6,
                     int ex7, int co7, int tp7, int wd7, int fl7, double px9, double py9, double pb7,
                     int ex8, int co8, int tp8, int wd8, int fl8, double px10, double py10, double pb8);
    bool AddBlkSolid(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px1, double py1,
                     double px2, double py2, double px3, double py3, double px4, double py4);
    bool AddBlkSolid(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px1, double py1,
                     double px2, double py2);
    bool AddBlkSolid(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px1, double py1,
                     double px2, double py2, double px3, double py3);
    bool AddBlkSolidA(int bdn, int cn, int lg, int ly, int co, int wd, int fl, int fc, double px, double py,
                      double pr, double ph, double pka);
    bool AddBlkSolidA(int bdn, int cn, int lg, int ly, int co, int wd, int fl, int fc, double px, double py,
                      double pr, double ph, double pka, double psa, double pda);
    bool AddBlkSolidC(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px, double py,
                      double pr, double ph, double pka, double psa, double pda);
    bool AddBlkSolidD(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int fc, double px, double py,
                      double pr, double pri, double ph, double pka, double psa, double pda);
    // Also refused when the insert would make definition bdn contain itself,
    // directly or through other definitions.
    bool AddBlkBlock(int bdn, int cn, int lg, int ly, int co, int tp, int wd, int fl, int bn, double px, double py,
                     double pbx, double pby, double pa);

    // ---- Block explode and whole-drawing transforms (BlockExplode.cpp) ----

    // Dissolves every block insert into plain top-level entities, each entity
    // of each placed definition carried through the placement of its block
    // tree node (which must be current). Afterwards the document holds no
    // inserts, no definitions and no tree, and the inserts' order entries are
    // empty (0, 0). Nothing changes when the tree is empty. False when
    // memory runs out (LastFailure kOutOfMemory; what was appended so far
    // then stays), and when the block tree was cut or the copies would need
    // more than the work allowance (kTooComplex; nothing changes then).
    bool BlockExplode();
    // One entity of a definition placed at (bx, by) with the linear part
    // b1 b2 / b3 b4, appended to the top level. lf keeps the entity's own
    // layers; otherwise it takes layer group l1 and layer l2. False when
    // memory runs out (nothing is appended then).
    bool BlockExplodeLine(double bx, double by, double b1, double b2, double b3, double b4, const TEntJwwLine& e,
                          bool lf, int l1, int l2);
    bool BlockExplodeEnko(double bx, double by, double b1, double b2, double b3, double b4, const TEntJwwEnko& e,
                          bool lf, int l1, int l2);
    bool BlockExplodeTen(double bx, double by, double b1, double b2, double b3, double b4, const TEntJwwTen& e,
                         bool lf, int l1, int l2);
    bool BlockExplodeMoji(double bx, double by, double b1, double b2, double b3, double b4, const TEntJwwMoji& e,
                          bool lf, int l1, int l2);
    bool BlockExplodeSunpo(double bx, double by, double b1, double b2, double b3, double b4, const TEntJwwSunpo& e,
                           bool lf, int l1, int l2);
    bool BlockExplodeSolid(double bx, double by, double b1, double b2, double b3, double b4, const TEntJwwSolid& e,
                           bool lf, int l1, int l2);
    // Moves every position of the top level by (dx, dy). Block definitions,
    // the header and the extents stay as they are.
    void MoveEntALL(double dx, double dy);
    // Scales the top level about (cx, cy) by sc: positions, arc radii, point
    // and insert scales, the radii of arc-shaped solids (both radii of a
    // ring). Text sizes, flattening and angles stay.
    void ScaleEntALL(double cx, double cy, double sc);

    // ---- Element counts (ElementCounts.cpp) ----

    // Entity counts of a loaded document. n1 lines, n2 arcs, n3 points that
    // are not temporary, n4 temporary points, n5 texts, n6 dimensions,
    // n7 solids, n8 block inserts. The a-counts are the same kinds among the
    // members of placed definitions, once per block tree node (inserts inside
    // definitions are nodes themselves and are not counted). ns1 dimension
    // texts, ns2 dimension lines, and of SXF dimensions ns3/ns4 the extension
    // lines, ns5/ns6 the end points, ns7/ns8 the reference points; ns*a the
    // same inside placed definitions.
    struct TElementCounts {
        int32_t n1 = 0, n2 = 0, n3 = 0, n4 = 0, n5 = 0, n6 = 0, n7 = 0, n8 = 0;
        int32_t n1a = 0, n2a = 0, n3a = 0, n4a = 0, n5a = 0, n6a = 0, n7a = 0;
        int32_t ns1 = 0, ns2 = 0, ns3 = 0, ns4 = 0, ns5 = 0, ns6 = 0, ns7 = 0, ns8 = 0;
        int32_t ns1a = 0, ns2a = 0, ns3a = 0, ns4a = 0, ns5a = 0, ns6a = 0, ns7a = 0, ns8a = 0;
        bool operator==(const TElementCounts&) const = default;
    };
    // Entities on layer group lay1 and layer lay2 (-1: any). Members of a
    // definition lie on the node's layers unless the node's pen style has
    // the bit 0x40, which keeps their own. The dimension parts (ns) are
    // counted too, by the same rule.
    TElementCounts GetElementNum(int lay1, int lay2) const;
    // Entities of pen colour co1 (members by their own colours).
    TElementCounts GetElementCNum(int co1) const;
    // Entities of type ty1: the pen style of lines, arcs, solids, inserts,
    // dimensions and their lines; nCode of points (+20 when negative);
    // nMojiShu mod 100 of texts.
    TElementCounts GetElementTNum(int ty1) const;

    // ---- Font list ----
    // Rebuilds FontNames/FontNameN from the fonts of every text and dimension
    // text, top level first, then each block definition in array order.
    // Should memory run out the list is left empty (LastFailure kOutOfMemory).
    void GetFontNames();
    // Index of s (up to three leading '@' removed) in FontNames, or -1.
    int GetFontNamesIndex(const std::u16string& s) const;

    // ---- Bound-image files (in BindImageFolder) ----
    // The largest image that is unpacked or drawn.
    static constexpr long long kMaxImageBytes = 32LL << 20;
    void BindImageInit();
    // Unpacks each ".gz" image beside itself; one that would unpack to more
    // than kMaxImageBytes is left packed (a partial file is removed).
    void BindImageExplode();
    void BindImagePack();
    void BindImageCopy(const std::string& dst);
    void BindImageDeleteFile();
    void BindImageDeleteGzFile();
    void BindImageDeleteNonGzFile();
    // True when an image name (and, for a ".gz" name, the name without it)
    // can safely name a file in BindImageFolder on every system: not empty,
    // no path separator, drive or parent reference, no character invalid in
    // file names, no Windows device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9,
    // with any extension) and no dot or space at the end. Other images are
    // never written, read or deleted, so a drawing converts alike everywhere.
    static bool IsSafeImageName(const std::u16string& name);
    // BindImageFolder + name, as this system's path.
    std::string ImagePath(const std::u16string& name) const;

protected:
    // Scale denominator (adScale) of a layer group; 0 when there is no such
    // group. Dimension values exploded out of blocks are measured with it.
    double LayerGroupScale(int group) const;

    // What the drawing and the figure supply to the flows above.
    virtual void ReadHeader(ArchiveReader& in) = 0;
    virtual void WriteHeader(ArchiveWriter& out, int ver) const = 0;
    // The version a file is written in when version Ver is asked for; it
    // decides every layout rule.
    virtual int OutputVersion(int Ver) const { return Ver; }
    // What follows the block definitions in a file.
    virtual void ReadTrailer(ArchiveReader&) {}
    virtual void WriteTrailer(ArchiveWriter&, int /*ver*/, TWrittenFile&) const {}
    // The drawing information a file read publishes.
    virtual TDrawingInfo DrawingInfo(const std::string& fileName) const = 0;
    // The point the extents start at, when the document has one.
    virtual bool ExtentSeed(double& x, double& y) const {
        (void)x, (void)y;
        return false;
    }

    // Extents of the entities, top level and placed block contents, into
    // myMinWx .. myMaxWy. With a seed point the box starts there; without
    // one it starts at the first point the drawing's own rules give (see
    // Extents.cpp), or at the first point any entity contributes.
    // False, with LastFailure kTooComplex (or kOutOfMemory) and the extent
    // fields left as they were, when the block tree was cut or the placed
    // contents need more than the work allowance.
    bool ComputeExtents(const double* seed);
    bool ComputeExtentsOf(const double* seed);  // without the guard

    // Empties the entity arrays, definitions, tree, image list, font list and
    // writer options.
    void ResetEntities();
    // Empties every definition's member arrays, then the entities.
    void FreeEntities();

    // Reads the entity list and the block definitions of a file of version
    // ver into the document; n1 and n2 receive the counts as read. Throws on
    // a failure that ends the read; the document then holds what was read.
    // With a tag budget the read stops after tagBudget class tags (see
    // Preview.cpp); by default it is unlimited.
    static constexpr int64_t kNoTagBudget = INT64_MAX;
    void ReadEntitySection(ArchiveReader& in, int ver, int32_t& n1, int32_t& n2, int64_t tagBudget = kNoTagBudget);
    // Writes the entity list and the referenced block definitions for output
    // version ver of a document read as docVer; n1 and n2 bound the order
    // list and the definitions. Throws JwIoError on a write failure.
    void WriteEntitySection(ArchiveWriter& out, int ver, int docVer, int32_t n1, int32_t n2,
                            TWrittenFile& written) const;

    // MakeBlockTree, GetBlkNo and GetBlkName without their guards.
    void BuildBlockTree();
    int FindBlkNo(const std::u16string& ps) const;
    std::u16string FreeBlkName(const std::u16string& ps) const;

    // Records a failure of an operation: LastFailure and LastError.
    void Fail(TJwFailure why);

    // The header check of one kind of document (FileCheck, CheckFile):
    // kNone when the file is of that kind and of a version it reads; else
    // why not (kCannotOpen, kNotJw, kUnknownVersion, kDamaged).
    static TJwFailure CheckFileAs(const std::string& fileName, TJwKind kind);

    // Runs step, the one place where a reader's or writer's errors are
    // caught: a format or stream error (or exhausted memory) sets LastError
    // and gives false.
    bool Guarded(const std::function<void()>& step);
    // The same for a step that changes nothing of the document: the error
    // goes to failure and error.
    static bool Guarded(const std::function<void()>& step, TJwFailure& failure, std::string& error);
    // Reads a file: header(in) first (false ends the read at once, before
    // any block tree exists), then sections(in); the block tree is built
    // afterwards whatever happened. True when both completed.
    bool ReadFile(const std::string& fileName, const std::function<bool(ArchiveReader&)>& header,
                  const std::function<void(ArchiveReader&)>& sections);
    // The same from a file open for reading.
    bool ReadFile(platform::File& file, const std::function<bool(ArchiveReader&)>& header,
                  const std::function<void(ArchiveReader&)>& sections);
};

// What the start of an open file tells: the kind of document whose magic it
// begins with (kNone when none), and kNone, or why that document cannot read
// it (kUnknownVersion; kDamaged: the magic without a version); kNotJw for no
// magic, kCannotOpen when the file cannot be read. The file is left at its
// start.
struct TFileKind {
    TJwKind kind = TJwKind::kNone;
    TJwFailure failure = TJwFailure::kNone;
};
TFileKind IdentifyFile(platform::File& file);

}  // namespace talvine

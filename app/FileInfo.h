// What talvine-cli --info reports about a drawing or figure: format and
// version, entity counts of the drawing and of placed block contents, the
// parts of its dimensions, extents, paper size, block definitions, fonts and
// bound images. The file is only read; nothing is written.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "jww/JwDocument.h"

namespace talvine {

struct TFileInfo {
    std::string file;    // the path as given
    std::string format;  // "jww" or "jws"
    int32_t version = 0;
    TJwDocument::TElementCounts counts;  // GetElementNum(-1, -1)
    // What the conversion will make of the dimensions (blank texts and
    // degenerate extension lines left out, reference points included): in
    // the drawing, and in placed blocks once per placement.
    struct Parts {
        int64_t dimensions = 0, texts = 0, lines = 0, extensionLines = 0, endPoints = 0, referencePoints = 0;
    };
    Parts drawingParts, blockParts;
    // Scale denominators of the layer groups that hold entities of the drawing.
    struct Scale {
        int group = 0;
        double scale = 0;
    };
    std::vector<Scale> scales;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;  // GetMinMaxZahyo
    bool hasPaper = false;                          // a figure has no paper
    double paperWidth = 0, paperHeight = 0;         // GetPaperSize, millimetres
    struct BlockDef {
        std::string name;  // UTF-8
        uint32_t number = 0;
        int32_t placements = 0;  // block tree nodes placing it, nested ones included
        bool placed = false;     // reachable from an insert of the drawing
    };
    std::vector<BlockDef> blockDefs;
    std::vector<std::string> fonts;  // GetFontNames, UTF-8
    struct Image {
        std::string name;  // UTF-8
        int32_t size = 0;
    };
    std::vector<Image> images;
};

// Reads the file (a drawing or a figure, told apart by its content) and
// collects its report. On failure returns false with a reason in error
// (English, for people).
bool CollectFileInfo(const std::string& path, TFileInfo& info, std::string& error);

// The version as Jw_cad writes it: 700 -> "7.00".
std::string VersionText(int32_t version);
// The name of a paper size ("A0".."A4", "2A".."5A"), or "" for another size.
std::string PaperName(double width, double height);

// The report as indented text lines, as one JSON object on one line, and
// as one short line; each ends with a newline.
std::string FileInfoText(const TFileInfo& info);
std::string FileInfoJson(const TFileInfo& info);
std::string FileInfoBrief(const TFileInfo& info);

// The summary of an inventory (--info over many files): files read, those
// that hold dimensions, the dimensions in all, the files by kind and
// version, and the files that could not be read, with their reasons.
struct TInventory {
    int64_t read = 0, withDimensions = 0, dimensions = 0;
    std::map<std::string, int64_t> versions;  // "drawing 7.00" -> files
    struct Unreadable {
        std::string file, reason;  // reason in English
    };
    std::vector<Unreadable> unreadable;
    void Add(const TFileInfo& info);
    void AddUnreadable(const std::string& file, const std::string& reason);
};
// As text lines, and as one JSON object on one line ({"summary": ...}).
std::string InventoryText(const TInventory& inventory);
std::string InventoryJson(const TInventory& inventory);

// A JSON string literal, quotes included. The text is UTF-8 (ill-formed
// sequences become U+FFFD); quotes, backslashes and control characters are
// escaped, everything else passes through.
std::string JsonString(const std::string& utf8);

}  // namespace talvine

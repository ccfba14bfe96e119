// Pictures of drawings and figures: what the document draws, as a list of
// primitives on the paper, and as SVG.
//
// Coordinates are the document's own: millimetres on the paper, y up, the
// sheet centred on the origin (an A3 drawing at 1/100 has its frame at
// +-210 x +-148.5). The scale of a layer group changes no coordinate; it
// only says what real size a millimetre on the paper stands for. Texts,
// pen widths and dashes are paper millimetres as well. Placed blocks go
// through their insertion point, scale and rotation, and are placed as
// the block tree places them: a placement that would re-enter a
// definition already on its own path is drawn, but what it places in turn
// is not. Hidden layers and layer groups are left out, and temporary
// points are drawn only on request, as Jw_cad shows them. Colours and line
// types come from the drawing's pen and line-type tables (a figure, which
// has none, takes the default ones).
//
// Images: a text whose string begins "^@BM" places an image. After the
// prefix come the image's path, a comma and numbers: the first two are the
// image's width and height on the drawing (one number gives both), the
// sixth its turn in degrees about its lower left corner, which is the
// text's start; the others do not change the picture. A path beginning
// "%temp%" names a bound image (the drawing carries the file); any other
// names a file on disk. An image that cannot be found draws nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jws/JwsUnit.h"
#include "jww/JwwUnit.h"

namespace talvine {

// The bytes of an image file and their type, read once and shared by every
// placement of the image.
struct TImageData {
    std::string bytes;
    std::string mime;  // "image/png", "image/jpeg", ... from the first bytes
};

struct TPrimitive {
    enum Kind { kLine, kCurve, kPoint, kText, kSolid, kImage };
    Kind kind = kLine;
    // kLine: the two ends; kCurve: the arc or ellipse as a polyline; kPoint:
    // the point; kText: the start and the end of the run; kSolid: the
    // corners; kImage: the image's lower left, lower right, upper right and
    // upper left corners (a parallelogram when a block shears it).
    std::vector<double> xy;
    uint32_t rgb = 0;             // 0xRRGGBB
    double width = 0;             // of the line on the paper, mm; 0: the thinnest
    std::vector<double> dashes;   // mm on the paper; empty: a solid line
    bool temporary = false;       // a temporary point
    // Texts: the text, its font, height and width of a character, spacing,
    // direction in degrees, and the length of its run: the width of its
    // characters and the spacing between them as the text record gives them
    // (half a width and half a spacing for a half-width character), through
    // the block placements.
    std::u16string text, font;
    double height = 0, charWidth = 0, spacing = 0, degrees = 0, length = 0;
    bool added = false;          // made by the conversion (TRenderOptions::before)
    bool fromDimension = false;  // a part of a dimension
    std::shared_ptr<const TImageData> image;  // kImage: never null
};

struct TListCounts;

struct TRenderOptions {
    bool temporaryPoints = false;  // draw temporary points
    // The counts of a document before its conversion: what lies beyond them
    // is marked as added. nullptr: nothing is.
    const TListCounts* before = nullptr;
    // At most this many primitives (a file that places blocks very often
    // would give a picture no viewer can open); false beyond.
    size_t maxPrimitives = 2'000'000;
    // The folder of the drawing, with a trailing separator: an image named
    // by a path is looked for at that path (absolute, not on the network)
    // or relative to this folder, then by its file name in this folder.
    // Empty: only at an absolute path.
    std::string drawingFolder;
};

// The primitives of a drawing or a figure, in drawing order (placed blocks
// at their place in the order). The document's block tree must be current
// (MakeBlockTree after the last change to its inserts or definitions): a
// placement is drawn only where the tree has a node for it. False when
// there would be too many primitives.
// Reads the image files that image texts name: bound images from the
// document's BindImageFolder as uncompressed files (BindImageExplode makes
// them from .gz ones), other images as TRenderOptions::drawingFolder says.
// Only files whose first bytes show a PNG, JPEG, GIF, BMP or WebP image
// are taken, so that a drawing cannot bring any other file into a picture.
bool DrawPrimitives(const TJwwData& doc, const TRenderOptions& options, std::vector<TPrimitive>& out);
bool DrawPrimitives(const TJwsData& doc, const TRenderOptions& options, std::vector<TPrimitive>& out);

// How many entities each list held before a conversion: the top level,
// then every block definition. Entities past these counts are the
// conversion's (TPrimitive::added).
struct TListCounts {
    std::vector<int32_t> lines, texts, points;  // [0] the top level, [1 + d] definition d
};
TListCounts ListCountsOf(const TJwDocument& doc);

// The paper of a drawing in millimetres (A0 ... for its paper code); a
// figure has none (0 x 0).
void PaperSize(const TJwwData& doc, double& width, double& height);

}  // namespace talvine

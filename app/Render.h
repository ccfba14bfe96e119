// Pictures of files: what a drawing or figure draws before and after its
// conversion, as an SVG file that never replaces another.
#pragma once

#include <string>

#include "app/Primitives.h"
#include "app/Svg.h"

namespace talvine {

// The SVG of the drawing or figure at src (by its extension); with compare,
// the file and, beside it, what converting it makes of it, the entities
// the conversion adds marked. False with a message in English when the file
// cannot be read or drawn. A drawing's bound images are extracted into a
// folder of their own while it is drawn and removed with it; images named
// by a path are looked for beside the file unless options say elsewhere.
bool RenderFile(const std::string& src, bool compare, const TRenderOptions& options, std::string& svg,
                std::string& error);
// Publishes svg as a new file at path, as a conversion publishes its
// output: written to a hidden temporary file in path's folder, then given
// its name without replacing anything. With branch a taken name gives way
// to the first free branch name ("plan~1.svg"), which path then holds;
// without, a taken name is an error. False with a message in English when
// nothing was published; no file is left behind then.
bool PublishSvg(std::string& path, const std::string& svg, bool branch, std::string& error);
// PublishSvg without branch names: false when path is taken or the file
// cannot be written.
bool WriteSvgFile(const std::string& path, const std::string& svg);

}  // namespace talvine

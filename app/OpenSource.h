// Opening a drawing or figure to read it: the one place that tells, from a
// file's magic and version, which document reads it and why none can.
#pragma once

#include <string>

#include "app/RunTexts.h"
#include "jww/JwDocument.h"
#include "util/Platform.h"

namespace talvine {

struct TSource {
    platform::File file;              // open for reading, at its start, when failure is kNone
    TJwKind kind = TJwKind::kNone;    // the document that reads it
    TFileFailure failure = TFileFailure::kNone;
    std::string detail;               // for kWrongExtension: the kind it holds, "jws" or "jww"
};

// Opens path and tells which document reads it. With byName (the batch run,
// pictures) the name's extension must agree: a path that does not end in
// .jww or .jws is refused (kNotJw, or kVanished when it is gone), and a
// figure named .jww or a drawing named .jws is kWrongExtension. Without it
// (--info) the content alone decides.
TSource OpenSource(const std::string& path, bool byName);

// Why a source could not be read, from the documents' reason.
TFileFailure ReadFailureOf(TJwFailure why, const std::string& src);

}  // namespace talvine

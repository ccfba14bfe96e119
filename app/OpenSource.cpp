#include "app/OpenSource.h"

#include <stdexcept>

#include "util/Func_2.h"

namespace talvine {

TFileFailure ReadFailureOf(TJwFailure why, const std::string& src) {
    switch (why) {
        case TJwFailure::kCannotOpen:
            if (!platform::FileExists(src)) return TFileFailure::kVanished;
            return TFileFailure::kCannotRead;
        case TJwFailure::kNotJw: return TFileFailure::kNotJw;
        case TJwFailure::kUnknownVersion: return TFileFailure::kUnknownVersion;
        case TJwFailure::kTooComplex: return TFileFailure::kTooComplex;
        case TJwFailure::kOutOfMemory: return TFileFailure::kOutOfMemory;
        default: return TFileFailure::kDamaged;
    }
}

TSource OpenSource(const std::string& path, bool byName) {
    TSource s;
    TJwKind named = TJwKind::kNone;
    if (byName) {
        std::string ext;
        try {
            ext = GetLowerExt(path);
        } catch (const std::invalid_argument&) {
        }
        named = ext == ".jww" ? TJwKind::kDrawing : ext == ".jws" ? TJwKind::kFigure : TJwKind::kNone;
        if (named == TJwKind::kNone) {
            s.failure = platform::FileExists(path) ? TFileFailure::kNotJw : TFileFailure::kVanished;
            return s;
        }
    }
    s.file = platform::File::OpenRead(path);
    if (!s.file.IsOpen()) {
        s.failure = ReadFailureOf(TJwFailure::kCannotOpen, path);
        return s;
    }
    const TFileKind k = IdentifyFile(s.file);
    s.kind = k.kind;
    if (byName && k.kind != TJwKind::kNone && k.kind != named) {
        // The other kind under this name: say so when that kind could read it.
        s.failure = k.failure == TJwFailure::kNone ? TFileFailure::kWrongExtension : TFileFailure::kNotJw;
        if (k.failure == TJwFailure::kNone) s.detail = k.kind == TJwKind::kFigure ? "jws" : "jww";
    } else if (k.failure != TJwFailure::kNone) {
        s.failure = ReadFailureOf(k.failure, path);
    }
    if (s.failure != TFileFailure::kNone) s.file.Close();
    return s;
}

}  // namespace talvine

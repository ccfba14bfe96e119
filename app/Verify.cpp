#include "app/Verify.h"

#include "app/Aside.h"
#include "jws/JwsUnit.h"
#include "jww/Archive.h"
#include "jww/JwwUnit.h"
#include "util/Platform.h"

namespace talvine {

namespace {

const char* const kKindNames[8] = {"", "lines", "arcs", "points", "texts", "dimensions", "solids", "block inserts"};

// Files smaller than this are summed on the thread that reads them back:
// starting a thread would cost more than it saves.
constexpr long long kSumAlongsideFrom = 1 << 20;

std::string Compare(const TJwDocument& back, const TJwDocument::TWrittenFile& written,
                    const TWrittenTally& tally) {
    const TWrittenTally read = WrittenTallyOf(back);
    const int64_t dimensions = read.top[kEntSunpo] + read.blocks[kEntSunpo];
    if (dimensions > 0) return std::to_string(dimensions) + " dimensions are left in the output";
    if (std::string d = TallyDifference(tally, read); !d.empty()) return d;
    const size_t images = static_cast<size_t>(std::max(back.BindImageN, 0));
    if (images != written.images.size())
        return "bound images: " + std::to_string(written.images.size()) + " written, " + std::to_string(images) +
               " read back";
    if (back.HeaderSize != written.headerSize)
        return "the header read back ends at byte " + std::to_string(back.HeaderSize) + ", the one written at byte " +
               std::to_string(written.headerSize);
    return "";
}

}  // namespace

std::string TallyDifference(const TWrittenTally& written, const TWrittenTally& back) {
    if (written.definitions != back.definitions)
        return "block definitions: " + std::to_string(written.definitions) + " written, " +
               std::to_string(back.definitions) + " read back";
    for (int k = kEntLine; k <= kEntBlock; ++k) {
        for (const bool top : {true, false}) {
            const int64_t w = top ? written.top[k] : written.blocks[k], b = top ? back.top[k] : back.blocks[k];
            if (w != b)
                return std::string(kKindNames[k]) + (top ? " of the drawing: " : " in block definitions: ") +
                       std::to_string(w) + " written, " + std::to_string(b) + " read back";
        }
        if (written.places[k] != back.places[k])
            return std::string("the ") + kKindNames[k] + " read back lie elsewhere than those written";
    }
    return "";
}

template <class Doc>
std::string VerifyOutput(Doc& back, const std::string& path, const TJwDocument::TWrittenFile& written,
                         const TWrittenTally& tally) {
    // The bytes of a large file are summed on a second thread while this
    // one reads them back.
    uint32_t fileChecksum = 0;
    std::future<bool> summed = RunAside(platform::FileSize(path) >= kSumAlongsideFrom,
                                        [&path, &fileChecksum] { return FileChecksum(path, fileChecksum); });
    const bool extract = back.BindImageExp, keepList = back.BindImageExr;
    back.BindImageExp = false;  // the image list is read, the images are not extracted
    back.BindImageExr = true;
    const bool read = back.FileIn(path);
    back.BindImageExp = extract;
    back.BindImageExr = keepList;
    const bool whole = summed.get();
    std::string difference =
        read ? Compare(back, written, tally) : "the output cannot be read back: " + back.LastError;
    if (difference.empty() && !whole) difference = "the output cannot be read back to its end";
    if (difference.empty() && fileChecksum != written.checksum)
        difference = "the output does not hold the bytes that were written";
    back.DataFree();
    return difference;
}

template std::string VerifyOutput<TJwwData>(TJwwData&, const std::string&, const TJwDocument::TWrittenFile&,
                                            const TWrittenTally&);
template std::string VerifyOutput<TJwsData>(TJwsData&, const std::string&, const TJwDocument::TWrittenFile&,
                                            const TWrittenTally&);

}  // namespace talvine

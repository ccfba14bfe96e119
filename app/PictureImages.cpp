#include "app/PictureImages.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "util/Func_2.h"
#include "util/ImageText.h"
#include "util/Platform.h"

namespace talvine {

namespace {

// The type of an image by its first bytes; "" for anything a picture cannot
// show, which is then never taken into one.
std::string ImageMime(const std::string& b) {
    using namespace std::string_view_literals;
    auto starts = [&b](std::string_view magic, size_t at = 0) {
        return b.size() >= at + magic.size() && std::string_view(b).substr(at, magic.size()) == magic;
    };
    if (starts("\x89PNG\r\n\x1a\n"sv)) return "image/png";
    if (starts("\xff\xd8\xff"sv)) return "image/jpeg";
    if (starts("GIF87a"sv) || starts("GIF89a"sv)) return "image/gif";
    if (starts("RIFF"sv) && starts("WEBP"sv, 8)) return "image/webp";
    // "BM" alone begins many files: the size of the header that follows the
    // file header must also be one that bitmaps use.
    if (starts("BM"sv) && b.size() >= 18) {
        const uint32_t info = static_cast<uint8_t>(b[14]) | static_cast<uint8_t>(b[15]) << 8 |
                              static_cast<uint32_t>(static_cast<uint8_t>(b[16])) << 16 |
                              static_cast<uint32_t>(static_cast<uint8_t>(b[17])) << 24;
        for (uint32_t size : {12u, 40u, 52u, 56u, 64u, 108u, 124u})
            if (info == size) return "image/bmp";
    }
    return "";
}

// The image in the file at path; nullptr when there is none, it cannot be
// read whole, it is too large or it is not an image.
std::shared_ptr<const TImageData> LoadImage(const std::string& path) {
    if (!platform::FileExists(path)) return nullptr;
    platform::File f = platform::File::OpenRead(path);
    const long long size = f.IsOpen() ? f.Size() : -1;
    if (size <= 0 || size > TJwDocument::kMaxImageBytes) return nullptr;
    auto image = std::make_shared<TImageData>();
    image->bytes.resize(static_cast<size_t>(size));
    for (size_t got = 0; got < image->bytes.size();) {
        const long long n = f.Read(image->bytes.data() + got, image->bytes.size() - got);
        if (n <= 0) return nullptr;
        got += static_cast<size_t>(n);
    }
    image->mime = ImageMime(image->bytes);
    return image->mime.empty() ? nullptr : image;
}

// A stored name without its ".gz" (any case): the uncompressed file's name.
std::u16string PlainImageName(const std::u16string& name) {
    try {
        if (GetLowerExt(name) == u".gz") return name.substr(0, name.size() - 3);
    } catch (const std::invalid_argument&) {
    }
    return name;
}

}  // namespace

std::shared_ptr<const TImageData> TImageFiles::Find(const std::u16string& name) {
    auto [it, fresh] = found_.try_emplace(name);
    if (fresh) it->second = Look(name);
    return it->second;
}

std::shared_ptr<const TImageData> TImageFiles::Look(const std::u16string& name) const {
    if (name.compare(0, kBoundImageMark.size(), kBoundImageMark) == 0)
        return Bound(name.substr(kBoundImageMark.size()));
    for (const std::string& path : OnDisk(name))
        if (auto image = LoadImage(path)) return image;
    // A drawing saved with its image paths cut to file names may still
    // carry the images.
    return Bound(ExtractFileNameSafe(name));
}

// A bound image by name: its file in the document's folder, else the
// first image whose stored name begins with it, as the writer matches
// them (a text names plan.jpg, the drawing stores plan.jpg.gz).
std::shared_ptr<const TImageData> TImageFiles::Bound(const std::u16string& name) const {
    if (doc_.BindImageFolder.empty() || !TJwDocument::IsSafeImageName(name)) return nullptr;
    if (auto image = LoadImage(doc_.ImagePath(name))) return image;
    const std::u16string upper = UpperStr(name);
    const size_t n = std::min(doc_.BindImage.size(), static_cast<size_t>(std::max(doc_.BindImageN, 0)));
    for (size_t i = 0; i < n; ++i) {
        if (UpperStr(doc_.BindImage[i].Fname).compare(0, upper.size(), upper) != 0) continue;
        const std::u16string plain = PlainImageName(doc_.BindImage[i].Fname);
        return TJwDocument::IsSafeImageName(plain) ? LoadImage(doc_.ImagePath(plain)) : nullptr;
    }
    return nullptr;
}

// Where a file named by a path may be, in order: the path itself when
// absolute, else relative to the drawing's folder; its file name in the
// drawing's folder. A network path (two separators first) is only
// looked for by its file name: drawing a file from elsewhere must not
// make the system connect to a server that file names.
std::vector<std::string> TImageFiles::OnDisk(const std::u16string& name) const {
    std::vector<std::string> paths;
    std::string path = Utf16ToUtf8(name);
    // Drawings come from Windows, where either slash separates folders.
    const char sep = platform::PathSeparator();
    for (char& c : path)
        if (c == '\\' || c == '/') c = sep;
    const bool drive = path.size() >= 2 && path[1] == ':';
    const bool network = path.size() >= 2 && path[0] == sep && path[1] == sep;
    if (!path.empty() && path[0] == sep) {
        if (!network) paths.push_back(path);
    } else if (drive) {
        if (sep == '\\' && path.size() >= 3 && path[2] == sep) paths.push_back(path);
    } else if (!path.empty() && !folder_.empty()) {
        paths.push_back(folder_ + path);
    }
    const std::u16string file = ExtractFileNameSafe(name);
    if (!file.empty() && !folder_.empty()) paths.push_back(folder_ + Utf16ToUtf8(file));
    return paths;
}

}  // namespace talvine

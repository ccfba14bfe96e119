// Bound images: image files carried inside a drawing from version 700 on.
// While a document is in memory its images live as files in BindImageFolder;
// the reader extracts them there, the writer stores the ones that texts refer
// to, and the operations below (de)compress, copy and delete them.
//
// Image section (version >= 700): int32 count; per image: name (string),
// int32 size, and, when the name is not empty and the size not 0, the bytes.
#include <zlib.h>

#include <cstring>
#include <memory>

#include "jww/Archive.h"
#include "jww/JwwFormat.h"
#include "jww/JwwUnit.h"
#include "util/Func_2.h"
#include "util/ImageText.h"
#include "util/Platform.h"

namespace talvine {

namespace {

const std::u16string kGzExt = u".gz";

// True when the stored name has the extension ".gz" (any case). A name with
// characters invalid in paths counts as not compressed.
bool IsGzName(const std::u16string& name) {
    try {
        return GetLowerExt(name) == kGzExt;
    } catch (const std::invalid_argument&) {
        return false;
    }
}

std::u16string PlainName(const std::u16string& name) {
    return IsGzName(name) ? name.substr(0, name.size() - kGzExt.size()) : name;
}

constexpr size_t kChunk = 1 << 16;

// Copies a whole file; false on any error (a partial target is removed).
bool CopyWholeFile(const std::string& from, const std::string& to) {
    platform::File in = platform::File::OpenRead(from);
    if (!in.IsOpen()) return false;
    platform::File out = platform::File::CreateWrite(to);
    if (!out.IsOpen()) return false;
    std::unique_ptr<char[]> buf(new char[kChunk]);
    for (;;) {
        long long n = in.Read(buf.get(), kChunk);
        if (n < 0 || (n > 0 && !out.Write(buf.get(), static_cast<size_t>(n)))) {
            out.Close();
            platform::RemoveFile(to);
            return false;
        }
        if (n == 0) break;
    }
    if (!out.Close()) {
        platform::RemoveFile(to);
        return false;
    }
    return true;
}

// Decompresses a gzip file (all members); false on any error, or when it
// would unpack to more than limit bytes, and then the partial target is
// removed.
bool GunzipFile(const std::string& from, const std::string& to, long long limit) {
    platform::File in = platform::File::OpenRead(from);
    if (!in.IsOpen()) return false;
    platform::File out = platform::File::CreateWrite(to);
    if (!out.IsOpen()) return false;
    z_stream zs{};
    if (inflateInit2(&zs, 31) != Z_OK) {
        out.Close();
        platform::RemoveFile(to);
        return false;
    }
    std::unique_ptr<unsigned char[]> inBuf(new unsigned char[kChunk]), outBuf(new unsigned char[kChunk]);
    bool ok = true, ended = false;
    long long written = 0;
    auto put = [&](size_t have) {
        written += static_cast<long long>(have);
        if (written > limit) return false;  // a bomb, or an image too large to use
        return have == 0 || out.Write(outBuf.get(), have);
    };
    for (;;) {
        long long n = in.Read(inBuf.get(), kChunk);
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) break;
        zs.next_in = inBuf.get();
        zs.avail_in = static_cast<uInt>(n);
        while (zs.avail_in > 0 && ok) {
            if (ended) {  // another gzip member follows
                if (inflateReset(&zs) != Z_OK) ok = false;
                ended = false;
            }
            zs.next_out = outBuf.get();
            zs.avail_out = static_cast<uInt>(kChunk);
            int r = inflate(&zs, Z_NO_FLUSH);
            if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR) ok = false;
            const size_t have = kChunk - zs.avail_out;
            if (!put(have)) ok = false;
            if (r == Z_STREAM_END) ended = true;
            if (r == Z_BUF_ERROR && have == 0) break;
        }
        if (!ok) break;
    }
    // Flush what remains inside the inflater.
    while (ok && !ended) {
        zs.next_out = outBuf.get();
        zs.avail_out = static_cast<uInt>(kChunk);
        int r = inflate(&zs, Z_FINISH);
        const size_t have = kChunk - zs.avail_out;
        if (!put(have)) ok = false;
        if (r == Z_STREAM_END) ended = true;
        else if (have == 0) ok = false;  // truncated stream
    }
    inflateEnd(&zs);
    if (!out.Close()) ok = false;
    if (!ok) platform::RemoveFile(to);
    return ok;
}

// Compresses a file with gzip at maximum compression; false on any error,
// and then the partial target is removed.
bool GzipFile(const std::string& from, const std::string& to) {
    platform::File in = platform::File::OpenRead(from);
    if (!in.IsOpen()) return false;
    platform::File out = platform::File::CreateWrite(to);
    if (!out.IsOpen()) return false;
    z_stream zs{};
    if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        out.Close();
        platform::RemoveFile(to);
        return false;
    }
    std::unique_ptr<unsigned char[]> inBuf(new unsigned char[kChunk]), outBuf(new unsigned char[kChunk]);
    bool ok = true;
    for (bool last = false; ok && !last;) {
        long long n = in.Read(inBuf.get(), kChunk);
        if (n < 0) {
            ok = false;
            break;
        }
        last = n == 0;
        zs.next_in = inBuf.get();
        zs.avail_in = static_cast<uInt>(n);
        int r;
        do {
            zs.next_out = outBuf.get();
            zs.avail_out = static_cast<uInt>(kChunk);
            r = deflate(&zs, last ? Z_FINISH : Z_NO_FLUSH);
            if (r == Z_STREAM_ERROR) ok = false;
            const size_t have = kChunk - zs.avail_out;
            if (have > 0 && !out.Write(outBuf.get(), have)) ok = false;
        } while (ok && zs.avail_out == 0);
    }
    deflateEnd(&zs);
    if (!out.Close()) ok = false;
    if (!ok) platform::RemoveFile(to);
    return ok;
}

}  // namespace

namespace {

// True when name can be the name of a file in a folder on every system:
// not empty, no path separator, drive or parent reference, no character
// invalid in file names, no device name of Windows (CON, NUL, COM1 ...,
// with any extension, in any case) and no dot or space at its end, which
// Windows drops.
bool IsPortableFileName(std::u16string_view name) {
    if (name.empty() || name.back() == u'.' || name.back() == u' ') return false;
    for (char16_t c : name) {
        if (c < 0x20 || c == u'\\' || c == u'/' || c == u':' || c == u'<' || c == u'>' || c == u'"' ||
            c == u'|' || c == u'?' || c == u'*')
            return false;
    }
    // The device names count with any extension, and with spaces before it.
    std::u16string base(name.substr(0, name.find(u'.')));
    while (!base.empty() && base.back() == u' ') base.pop_back();
    for (char16_t& c : base)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    static constexpr std::u16string_view kDevices[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};
    for (std::u16string_view device : kDevices)
        if (base == device) return false;
    if (base.size() == 4 && (base.starts_with(u"COM") || base.starts_with(u"LPT"))) {
        const char16_t n = base[3];
        if ((n >= u'1' && n <= u'9') || n == u'\u00B9' || n == u'\u00B2' || n == u'\u00B3') return false;
    }
    return true;
}

}  // namespace

bool TJwDocument::IsSafeImageName(const std::u16string& name) {
    // The uncompressed file of a ".gz" image is made beside it.
    return IsPortableFileName(name) && IsPortableFileName(PlainName(name));
}

std::string TJwDocument::ImagePath(const std::u16string& name) const {
    return BindImageFolder + Utf16ToUtf8(name);
}

void TJwDocument::BindImageInit() {
    BindImage.clear();
    BindImageN = 0;
}

void TJwDocument::BindImageExplode() {
    // Paths and buffers are small; should even they fail, the run goes on.
    Guarded([&] {
        for (int32_t i = 0; i < BindImageN && i < static_cast<int32_t>(BindImage.size()); ++i) {
            const std::u16string& name = BindImage[static_cast<size_t>(i)].Fname;
            if (!IsSafeImageName(name) || !IsGzName(name) || PlainName(name).empty()) continue;
            const std::string gz = ImagePath(name);
            if (platform::FileExists(gz)) GunzipFile(gz, ImagePath(PlainName(name)), kMaxImageBytes);
        }
    });
}

void TJwDocument::BindImagePack() {
    // Paths and buffers are small; should even they fail, the run goes on.
    Guarded([&] {
        for (int32_t i = 0; i < BindImageN && i < static_cast<int32_t>(BindImage.size()); ++i) {
            TBindImageType& img = BindImage[static_cast<size_t>(i)];
            if (!IsSafeImageName(img.Fname) || IsGzName(img.Fname)) continue;
            const std::string plain = ImagePath(img.Fname);
            if (!platform::FileExists(plain)) continue;
            const std::u16string gzName = img.Fname + kGzExt;
            if (GzipFile(plain, ImagePath(gzName)) && platform::FileExists(ImagePath(gzName))) img.Fname = gzName;
        }
    });
}

void TJwDocument::BindImageCopy(const std::string& dst) {
    Guarded([&] {
        const std::string folder = AddPathDelim(dst);
        for (int32_t i = 0; i < BindImageN && i < static_cast<int32_t>(BindImage.size()); ++i) {
            const std::u16string& name = BindImage[static_cast<size_t>(i)].Fname;
            if (!IsSafeImageName(name)) continue;
            const std::u16string plain = PlainName(name);
            if (plain.empty()) continue;
            const std::string from = ImagePath(plain);
            if (platform::FileExists(from)) CopyWholeFile(from, folder + Utf16ToUtf8(plain));
        }
    });
}

void TJwDocument::BindImageDeleteFile() {
    // Paths and buffers are small; should even they fail, the run goes on.
    Guarded([&] {
        for (int32_t i = 0; i < BindImageN && i < static_cast<int32_t>(BindImage.size()); ++i) {
            const std::u16string& name = BindImage[static_cast<size_t>(i)].Fname;
            if (IsSafeImageName(name) && platform::FileExists(ImagePath(name))) platform::RemoveFile(ImagePath(name));
        }
    });
}

void TJwDocument::BindImageDeleteGzFile() {
    // Paths and buffers are small; should even they fail, the run goes on.
    Guarded([&] {
        for (int32_t i = 0; i < BindImageN && i < static_cast<int32_t>(BindImage.size()); ++i) {
            const std::u16string& name = BindImage[static_cast<size_t>(i)].Fname;
            if (IsSafeImageName(name) && IsGzName(name) && platform::FileExists(ImagePath(name)))
                platform::RemoveFile(ImagePath(name));
        }
    });
}

void TJwDocument::BindImageDeleteNonGzFile() {
    // Paths and buffers are small; should even they fail, the run goes on.
    Guarded([&] {
        for (int32_t i = 0; i < BindImageN && i < static_cast<int32_t>(BindImage.size()); ++i) {
            const std::u16string& name = BindImage[static_cast<size_t>(i)].Fname;
            if (!IsSafeImageName(name)) continue;
            const std::u16string plain = PlainName(name);
            if (!plain.empty() && platform::FileExists(ImagePath(plain))) platform::RemoveFile(ImagePath(plain));
        }
    });
}

// ---- The image section of a drawing ------------------------------------------

void TJwwData::ReadBindImages(ArchiveReader& in) {
    const int32_t count = in.I32();
    if (count <= 0) return;
    // Every image takes at least a name length and a size.
    const long long left = in.Remaining();
    if (left >= 0 && count > left / 5) throw JwIoError(fmt::kErrIo);
    BindImage.resize(static_cast<size_t>(count));
    BindImageN = count;
    char buf[fmt::kScratchSize];
    for (auto& img : BindImage) {
        img.Fname = in.StringInClean();
        img.Fsize = in.I32();
        if (img.Fname.empty() || img.Fsize == 0) continue;
        if (img.Fsize < 0) throw JwIoError(fmt::kErrIo);
        const size_t size = static_cast<size_t>(img.Fsize);
        // Names that would reach outside the folder are never created.
        if (!BindImageExp || !IsSafeImageName(img.Fname)) {
            in.Skip(size);
            continue;
        }
        const std::string path = ImagePath(img.Fname);
        platform::File out = platform::File::CreateWrite(path);
        bool writing = out.IsOpen();
        size_t left = size;
        while (left > 0) {
            const size_t n = std::min(left, sizeof buf);
            if (in.ReadSome(buf, n) != n) {
                // The file ends inside the image: the drawing is truncated.
                out.Close();
                if (writing || platform::FileExists(path)) platform::RemoveFile(path);
                throw ShortReadError();
            }
            if (writing && !out.Write(buf, n)) writing = false;
            left -= n;
        }
        if (!writing || !out.Close()) {
            out.Close();
            platform::RemoveFile(path);
        }
    }
}

void TJwwData::WriteBindImages(ArchiveWriter& out, TWrittenFile& written) const {
    const int32_t imageCount = std::min<int32_t>(BindImageN, static_cast<int32_t>(BindImage.size()));
    std::vector<bool> referred(static_cast<size_t>(std::max(imageCount, 0)), false);

    std::vector<std::u16string> upperNames;
    upperNames.reserve(static_cast<size_t>(std::max(imageCount, 0)));
    for (int32_t i = 0; i < imageCount; ++i) upperNames.push_back(UpperStr(BindImage[static_cast<size_t>(i)].Fname));
    auto select = [&](const std::u16string& s) {
        const std::optional<std::u16string> bound = BoundImageName(s);
        if (!bound) return;
        const std::u16string name = UpperStr(*bound);
        for (int32_t i = 0; i < imageCount; ++i) {
            if (upperNames[static_cast<size_t>(i)].compare(0, name.size(), name) == 0) {
                referred[static_cast<size_t>(i)] = true;
                return;
            }
        }
    };
    auto scan = [&](const TArray<TEntJwwNo>& order, int32_t n, const TArray<TEntJwwMoji>& texts,
                    int32_t textN) {
        for (int32_t i = 0; i < n && i < static_cast<int32_t>(order.size()); ++i) {
            const TEntJwwNo& e = order[static_cast<size_t>(i)];
            if (e.EntType == kEntMoji && e.EntNo >= 0 && e.EntNo < textN) select(texts[static_cast<size_t>(e.EntNo)].str);
        }
    };
    if (imageCount > 0) {
        scan(EntNo, Enthd.n1, EntMoji, EntMojiN);
        for (int32_t d = 0; d < EntBlockDefN && d < static_cast<int32_t>(EntBlockDef.size()); ++d) {
            const auto& def = EntBlockDef[static_cast<size_t>(d)];
            scan(def.mNo, def.N, def.mMoji, def.mMojiN);
        }
    }

    // Open the selected files before the count is written, so that the count
    // matches what follows; images that cannot be opened, or that are too
    // large for the 32-bit size, are left out.
    struct Selected {
        int32_t index;
        platform::File file;
        long long size;
    };
    std::vector<Selected> selected;
    for (int32_t i = 0; i < imageCount; ++i) {
        const TBindImageType& img = BindImage[static_cast<size_t>(i)];
        if (!referred[static_cast<size_t>(i)]) continue;
        if (!(BindImageExp || BindImageExr) || !IsSafeImageName(img.Fname)) continue;
        const std::string path = ImagePath(img.Fname);
        if (!platform::FileExists(path)) continue;
        platform::File f = platform::File::OpenRead(path);
        const long long size = f.IsOpen() ? f.Size() : -1;
        if (size < 0 || size > 0x7FFFFFFF) continue;
        written.images.push_back(i);
        selected.push_back(Selected{i, std::move(f), size});
    }
    out.I32(static_cast<int32_t>(selected.size()));
    char buf[fmt::kScratchSize];
    for (auto& s : selected) {
        out.StringOut(BindImage[static_cast<size_t>(s.index)].Fname);
        out.I32(static_cast<int32_t>(s.size));
        long long left = s.size;
        while (left > 0) {
            const size_t n = static_cast<size_t>(std::min<long long>(left, static_cast<long long>(sizeof buf)));
            if (s.file.Read(buf, n) != static_cast<long long>(n)) throw JwIoError(fmt::kErrIo);
            out.Bytes(buf, n);
            left -= static_cast<long long>(n);
        }
    }
}

}  // namespace talvine

// Bound images: extraction while reading, selection and storing while
// writing, the file operations on the extracted images, and names that must
// never reach outside the image folder.
#include <zlib.h>

#include <cctype>
#include <filesystem>

#include "tests/jww/TestFiles.h"
#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine::test {
namespace {

namespace fs = std::filesystem;

Bytes Gunzip(const Bytes& gz) {
    z_stream zs{};
    inflateInit2(&zs, 31);
    Bytes out(1 << 20);
    zs.next_in = const_cast<Bytef*>(gz.data());
    zs.avail_in = static_cast<uInt>(gz.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    inflateEnd(&zs);
    return out;
}

// A version-700 drawing whose texts refer to images, written with the image
// files taken from src.
struct ImageDrawing {
    TempDir src, work, out;
    TJwwData doc;
    std::string path;
};

std::unique_ptr<ImageDrawing> MakeImageDrawing() {
    auto r = std::make_unique<ImageDrawing>();
    TJwwData& d = r->doc;
    d = SampleDrawing(700);
    d.BindImageFolder = r->src.path();
    d.BindImageExp = d.BindImageExr = true;
    WriteAll(r->src.File("plan.jpg.gz"), Gzip(Pattern(5000, 1)));
    WriteAll(r->src.File("logo.PNG"), Pattern(4097, 2));
    WriteAll(r->src.File("unused.bmp"), Pattern(10, 3));
    for (const char16_t* name : {u"plan.jpg.gz", u"logo.PNG", u"unused.bmp", u"missing.gif"}) {
        d.BindImage.push_back(TBindImageType{name, 0, false});
    }
    d.BindImageN = 4;
    Add(d.TopLists(), Text(0, 0, u"^@BM%temp%plan.jpg,100,80"));
    Add(d.TopLists(), Text(0, 0, u"^@BM%temp%missing.gif,1,1"));
    Add(ListsOf(d.EntBlockDef[1]), Text(0, 0, u"^@BM%temp%LOGO.png,5,5"));  // inside a definition
    SyncCounts(d);
    r->path = r->out.File("images.jww");
    EXPECT_TRUE(d.FileOut(r->path, 700)) << d.LastError;
    return r;
}

TEST(BindImages, WriterStoresReferencedExistingImagesAndReaderExtractsThem) {
    auto r = MakeImageDrawing();
    EXPECT_TRUE(r->doc.BindImage[0].exf);
    EXPECT_TRUE(r->doc.BindImage[1].exf);
    EXPECT_FALSE(r->doc.BindImage[2].exf);  // no text refers to it
    EXPECT_FALSE(r->doc.BindImage[3].exf);  // its file is missing

    TJwwData back;
    back.BindImageFolder = r->work.path();
    back.BindImageExp = back.BindImageExr = true;
    ASSERT_TRUE(back.FileIn(r->path)) << back.LastError;
    ASSERT_EQ(back.BindImageN, 2);
    EXPECT_EQ(back.BindImage[0].Fname, u"plan.jpg.gz");
    EXPECT_EQ(back.BindImage[1].Fname, u"logo.PNG");
    EXPECT_EQ(back.BindImage[1].Fsize, 4097);
    EXPECT_EQ(ReadAll(r->work.File("logo.PNG")), Pattern(4097, 2));
    EXPECT_EQ(ReadAll(r->work.File("plan.jpg.gz")), ReadAll(r->src.File("plan.jpg.gz")));

    // Writing the read document again stores the same images.
    ASSERT_TRUE(back.FileOut(r->out.File("again.jww"), 700));
    EXPECT_EQ(ReadAll(r->out.File("again.jww")), ReadAll(r->path));
}

TEST(BindImages, ListWithoutExtractionAndNothingWhenSwitchedOff) {
    auto r = MakeImageDrawing();
    TJwwData listOnly;
    listOnly.BindImageFolder = r->work.path();
    listOnly.BindImageExr = true;
    ASSERT_TRUE(listOnly.FileIn(r->path));
    EXPECT_EQ(listOnly.BindImageN, 2);
    EXPECT_TRUE(fs::is_empty(r->work.path()));

    TJwwData off;
    ASSERT_TRUE(off.FileIn(r->path));
    EXPECT_EQ(off.BindImageN, 0);

    // With both switches off the writer stores no image.
    r->doc.BindImageExp = r->doc.BindImageExr = false;
    ASSERT_TRUE(r->doc.FileOut(r->out.File("none.jww"), 700));
    TJwwData none;
    none.BindImageExr = true;
    ASSERT_TRUE(none.FileIn(r->out.File("none.jww")));
    EXPECT_EQ(none.BindImageN, 0);
}

TEST(BindImages, OlderVersionsCarryNoImageSection) {
    auto r = MakeImageDrawing();
    ASSERT_TRUE(r->doc.FileOut(r->out.File("v600.jww"), 600));
    TJwwData back;
    back.BindImageFolder = r->work.path();
    back.BindImageExp = true;
    ASSERT_TRUE(back.FileIn(r->out.File("v600.jww")));
    EXPECT_EQ(back.BindImageN, 0);
}

TEST(BindImages, FileOperations) {
    TempDir work, copy;
    TJwwData d;
    d.BindImageFolder = work.path();
    const Bytes plan = Pattern(3000, 9);
    WriteAll(work.File("plan.jpg.gz"), Gzip(plan));
    WriteAll(work.File("logo.PNG"), Pattern(100, 4));
    WriteAll(work.File("scan.GZ"), Gzip(Pattern(50, 5)));
    for (const char16_t* name : {u"plan.jpg.gz", u"logo.PNG", u"scan.GZ", u"gone.png"})
        d.BindImage.push_back(TBindImageType{name, 0, false});
    d.BindImageN = 4;

    d.BindImageExplode();
    EXPECT_EQ(ReadAll(work.File("plan.jpg")), plan);
    EXPECT_EQ(ReadAll(work.File("scan")), Pattern(50, 5));  // the extension test ignores case

    d.BindImageCopy(copy.path().substr(0, copy.path().size() - 1));  // no trailing separator
    EXPECT_EQ(ReadAll(copy.File("plan.jpg")), plan);
    EXPECT_EQ(ReadAll(copy.File("logo.PNG")), Pattern(100, 4));
    EXPECT_FALSE(fs::exists(copy.File("plan.jpg.gz")));

    d.BindImagePack();
    EXPECT_EQ(d.BindImage[1].Fname, u"logo.PNG.gz");
    EXPECT_EQ(Gunzip(ReadAll(work.File("logo.PNG.gz"))), Pattern(100, 4));
    EXPECT_EQ(d.BindImage[3].Fname, u"gone.png");  // nothing to compress
    d.BindImagePack();
    EXPECT_EQ(d.BindImage[1].Fname, u"logo.PNG.gz");

    d.BindImageDeleteGzFile();
    EXPECT_FALSE(fs::exists(work.File("plan.jpg.gz")));
    EXPECT_FALSE(fs::exists(work.File("logo.PNG.gz")));
    EXPECT_TRUE(fs::exists(work.File("plan.jpg")));
    d.BindImageDeleteNonGzFile();
    EXPECT_FALSE(fs::exists(work.File("plan.jpg")));
    EXPECT_FALSE(fs::exists(work.File("logo.PNG")));
    EXPECT_TRUE(fs::is_empty(work.path()));
    d.BindImageInit();
    EXPECT_EQ(d.BindImageN, 0);
}

TEST(BindImages, CorruptGzipLeavesNoPartialFile) {
    TempDir work;
    TJwwData d;
    d.BindImageFolder = work.path();
    Bytes gz = Gzip(Pattern(20000, 1));
    gz.resize(gz.size() / 2);
    WriteAll(work.File("half.png.gz"), gz);
    d.BindImage.push_back(TBindImageType{u"half.png.gz", 0, false});
    d.BindImageN = 1;
    d.BindImageExplode();
    EXPECT_FALSE(fs::exists(work.File("half.png")));
}

// Names that would reach outside the image folder are never used: the reader
// does not create them, the writer does not read them and the operations do
// not touch them.
class HostileImageName : public ::testing::TestWithParam<std::u16string> {};

TEST_P(HostileImageName, NeverLeavesTheFolder) {
    TempDir root;
    const std::string work = root.File("work/");
    const std::string outside = root.File("victim.txt");
    fs::create_directories(work);
    WriteAll(outside, Bytes{'k', 'e', 'e', 'p'});

    // A drawing whose image section carries the hostile name.
    TJwwData d = SampleDrawing(700);
    SyncCounts(d);
    ASSERT_TRUE(d.FileOut(root.File("base.jww"), 700));
    Bytes b = ReadAll(root.File("base.jww"));
    b.resize(b.size() - 4);  // image count 0
    ByteBuilder img;
    img.i32(1);
    const std::string name(GetParam().begin(), GetParam().end());
    img.str(name).i32(5).raw(std::string("EVIL!"));
    b.insert(b.end(), img.bytes().begin(), img.bytes().end());
    WriteAll(root.File("evil.jww"), b);

    TJwwData back;
    back.BindImageFolder = work;
    back.BindImageExp = back.BindImageExr = true;
    EXPECT_TRUE(back.FileIn(root.File("evil.jww")));
    EXPECT_EQ(ReadAll(outside), (Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_TRUE(fs::is_empty(work));

    // Referring to it from a text does not embed the outside file.
    Add(back.TopLists(), Text(0, 0, u"^@BM%temp%" + GetParam() + u",1,1"));
    back.Enthd.n1 = static_cast<int32_t>(back.EntNo.size());
    ASSERT_TRUE(back.FileOut(root.File("out.jww"), 700));
    TJwwData again;
    again.BindImageExr = true;
    ASSERT_TRUE(again.FileIn(root.File("out.jww")));
    EXPECT_EQ(again.BindImageN, 0);

    back.BindImageDeleteFile();
    back.BindImageDeleteGzFile();
    back.BindImageDeleteNonGzFile();
    back.BindImagePack();
    EXPECT_EQ(ReadAll(outside), (Bytes{'k', 'e', 'e', 'p'}));
}

INSTANTIATE_TEST_SUITE_P(Names, HostileImageName,
                         ::testing::Values(u"../victim.txt", u"..\\victim.txt", u"..", u"sub/../../victim.txt",
                                           u"C:victim.txt", u"/etc/passwd", u"CON", u"nul.txt.gz", u"Com1.png",
                                           u"LPT9", u"plan.png.", u"plan.png "),
                         [](const auto& info) {
                             // Path punctuation spelt out: "../victim.txt" is DotDotSlashvictimDottxt.
                             std::string name;
                             for (char16_t c : info.param) {
                                 if (c == u'.') name += "Dot";
                                 else if (c == u'/') name += "Slash";
                                 else if (c == u'\\') name += "Backslash";
                                 else if (c == u':') name += "Colon";
                                 else if (c < 0x80 && std::isalnum(static_cast<unsigned char>(c))) name += static_cast<char>(c);
                                 else name += '_';
                             }
                             return name;
                         });

// The names an image may have, alike on every system: Windows opens a
// device for CON or NUL.TXT and drops a dot or space at the end of a name.
TEST(BindImages, SafeNamesAreTheSameOnEverySystem) {
    struct Case {
        const char16_t* name;
        bool safe;
    };
    const Case cases[] = {
        {u"plan.jpg", true},       {u"plan.jpg.gz", true},   {u"CONSOLE.png", true}, {u"com10.png", true},
        {u"LPT0", true},           {u"nul_1.bmp", true},     {u"写真.JPG", true},     {u".hidden", true},
        {u"CON", false},           {u"con.png", false},      {u"NUL.tar.gz", false}, {u"aux", false},
        {u"PRN.jpg", false},       {u"COM1", false},         {u"com9.bmp", false},   {u"LPT1.png.gz", false},
        {u"COM\u00B9.png", false}, {u"CONIN$", false},       {u"conout$.txt", false}, {u"NUL .png", false},
        {u"plan.", false},         {u"plan ", false},        {u"plan. .gz", false},  {u".", false},
        {u"..", false},            {u"", false},             {u"a/b", false},        {u"a\\b", false},
        {u"C:plan", false},        {u"plan?.png", false},    {u"tab\tname", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TJwDocument::IsSafeImageName(c.name), c.safe) << Utf16ToUtf8(c.name);
}

// A compressed image that would unpack to far more than any image is left
// packed; the others are unpacked as usual.
TEST(BindImages, UnpackingIsBounded) {
    TempDir work;
    // 1 GB of zeros: 1,024 gzip members of 1 MB each, about 1 MB on disk.
    const Bytes member = Gzip(Bytes(1 << 20, 0));
    Bytes bomb;
    for (int i = 0; i < 1024; ++i) bomb.insert(bomb.end(), member.begin(), member.end());
    WriteAll(work.File("bomb.png.gz"), bomb);
    WriteAll(work.File("fine.png.gz"), Gzip(Pattern(5000, 4)));
    TJwwData d;
    d.BindImageFolder = work.path();
    d.BindImage = {TBindImageType{u"bomb.png.gz", 0, false}, TBindImageType{u"fine.png.gz", 0, false}};
    d.BindImageN = 2;
    d.BindImageExplode();
    EXPECT_FALSE(fs::exists(FsPath(work.File("bomb.png"))));
    EXPECT_EQ(ReadAll(work.File("fine.png")), Pattern(5000, 4));
    EXPECT_TRUE(fs::exists(FsPath(work.File("bomb.png.gz"))));
}

TEST(BindImages, TruncatedImageFailsTheReadAndLeavesNoFile) {
    TempDir root, work;
    TJwwData d = SampleDrawing(700);
    SyncCounts(d);
    ASSERT_TRUE(d.FileOut(root.File("base.jww"), 700));
    Bytes b = ReadAll(root.File("base.jww"));
    b.resize(b.size() - 4);
    ByteBuilder img;
    img.i32(1).str("cut.png").i32(100000).raw(std::string(10, 'x'));
    b.insert(b.end(), img.bytes().begin(), img.bytes().end());
    WriteAll(root.File("cut.jww"), b);
    TJwwData back;
    back.BindImageFolder = work.path();
    back.BindImageExp = true;
    EXPECT_FALSE(back.FileIn(root.File("cut.jww")));
    EXPECT_TRUE(fs::is_empty(work.path()));
}

}  // namespace
}  // namespace talvine::test

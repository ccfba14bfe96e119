// The settings file: the exact lines written, lenient reading, short and
// foreign files, and saves that cannot leave a broken file behind.
#include "app/Settings.h"

#include <cstdlib>
#include <filesystem>

#include "tests/jww/TestFiles.h"
#include "util/Platform.h"

namespace talvine::test {
namespace {

namespace fs = std::filesystem;

const std::u16string kProgram = u"/opt/talvine/";

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

TSettings Read(const TempDir& dir, const std::string& text) {
    WriteAll(dir.File("t.dat"), Bytes(text.begin(), text.end()));
    return OpenDatFile(dir.File("t.dat"), kProgram);
}

size_t Entries(const TempDir& dir) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));
}

TEST(Settings, WritesTheFifteenLinesOfTheWindowsProgram) {
    TempDir dir;
    TSettings s = DefaultSettings(u"C:\\Tools\\");
    s.Fm1x = -8;
    s.Fm1w = 600;
    s.SetRadioButton(4, true);
    s.EditFl1 = u"C:\\Out";
    s.Fidx = 3;
    s.gstyle = u"Fusion";
    s.CheckBox1 = false;
    ASSERT_TRUE(SaveDatFile(dir.File("talvine.dat"), s));
    EXPECT_EQ(Text(ReadAll(dir.File("talvine.dat"))),
              "-8\r\n50\r\n600\r\n480\r\n0\r\n0\r\n0\r\n1\r\n0\r\n"
              "433A5C4F7574\r\n\r\n433A5C546F6F6C735C\r\n3\r\nFusion\r\n0\r\n");
    // A missing file gives the defaults.
    const TSettings d = OpenDatFile(dir.File("none.dat"), kProgram);
    EXPECT_TRUE(d.Fm1x == 50 && d.Fm1y == 50 && d.Fm1w == 480 && d.Fm1h == 480);
    EXPECT_TRUE(d.folderChoice == 1 && d.Fidx == 1 && d.CheckBox1 && d.gstyle == u"Windows");
    EXPECT_EQ(d.LabelPreFolder, kProgram);
}

TEST(Settings, JapaneseFoldersRoundTripAndTheFileStaysAscii) {
    TempDir dir;
    TSettings s = DefaultSettings(kProgram);
    s.SetRadioButton(5, true);
    s.EditFl1 = u"/home/利用者/図面 出力/";
    s.Label1 = u"D:\\図面\\";
    s.LabelPreFolder = u"/mnt/共有/𠮷野家/";  // beyond the BMP
    ASSERT_TRUE(SaveDatFile(dir.File("talvine.dat"), s));
    for (uint8_t b : ReadAll(dir.File("talvine.dat"))) EXPECT_LT(b, 0x80);
    const TSettings r = OpenDatFile(dir.File("talvine.dat"), kProgram);
    EXPECT_EQ(r.EditFl1, s.EditFl1);
    EXPECT_EQ(r.Label1, s.Label1);
    EXPECT_EQ(r.LabelPreFolder, s.LabelPreFolder);
    EXPECT_EQ(r.folderChoice, 5);
    EXPECT_EQ(Entries(dir), 1u);  // no temporary file left
}

TEST(Settings, RadioLinesAreAssignedInOrderAndTheLastTrueOneWins) {
    struct Case {
        const char* lines;  // lines 5..9
        int choice;
    } cases[] = {
        {"0\r\n0\r\n1\r\n0\r\n0", 3},  {"1\r\n0\r\n1\r\n0\r\n0", 3},     {"1\r\n1\r\n1\r\n1\r\n1", 5},
        {"0\r\n0\r\n0\r\n0\r\n0", 0},  // none checked: the run asks for a folder
        {"true\r\nyes\r\n0\r\n0\r\n0", 1}, {"0\r\n○\r\n\r\nno\r\n0", 2}, {"0\r\n0\r\n１\r\n0\r\n0", 3},
        {"0\r\n0\r\n0\r\nOn\r\n0", 4}, {"0\r\n0\r\n0\r\n0\r\n真", 5},      {"0\r\n0\r\n0\r\n0\r\n 1", 0},
    };
    TempDir dir;
    for (const Case& c : cases)
        EXPECT_EQ(Read(dir, std::string("1\r\n2\r\n3\r\n4\r\n") + c.lines + "\r\n\r\n\r\n\r\n1\r\nW\r\n1\r\n").folderChoice,
                  c.choice)
            << c.lines;
}

TEST(Settings, IntegersHexAndBooleansAreReadLeniently) {
    TempDir dir;
    const TSettings s =
        Read(dir, "abc\r\n-20\r\n\r\n$1E0\r\n1\r\n0\r\n0\r\n0\r\n0\r\nZZ41\r\n4142ZZ43\r\n414\r\n2.5\r\nFusion\r\nTRUE\r\n");
    EXPECT_EQ(s.Fm1x, 0);
    EXPECT_EQ(s.Fm1y, -20);
    EXPECT_EQ(s.Fm1w, 0);
    EXPECT_EQ(s.Fm1h, 480);
    EXPECT_EQ(s.EditFl1, u"");          // a bad pair ends the text
    EXPECT_EQ(s.Label1, u"AB");
    EXPECT_EQ(s.LabelPreFolder, u"A");  // an odd digit is dropped
    EXPECT_EQ(s.Fidx, 0);
    EXPECT_TRUE(s.CheckBox1);
}

TEST(Settings, ShortAndForeignFiles) {
    TempDir dir;
    // Four lines: the rest read as empty.
    TSettings s = Read(dir, "10\r\n20\r\n500\r\n400\r\n");
    EXPECT_TRUE(s.Fm1x == 10 && s.Fm1y == 20 && s.Fm1w == 500 && s.Fm1h == 400);
    EXPECT_TRUE(s.folderChoice == 0 && s.Fidx == 0 && !s.CheckBox1);
    EXPECT_TRUE(s.LabelPreFolder.empty() && s.gstyle.empty());  // the window falls back to "Windows"
    // A last line without its end still counts.
    EXPECT_EQ(Read(dir, "1\r\n2\r\n3\r\n4\r\n0\r\n0\r\n1").folderChoice, 3);
    // A byte-order mark, LF and lone CR line ends.
    s = Read(dir, "\xEF\xBB\xBF" "7\n8\r9\r\n10\n0\n1\n0\n0\n0\n433A\n\n\n2\nFusion\n0\n");
    EXPECT_TRUE(s.Fm1x == 7 && s.Fm1y == 8 && s.Fm1w == 9 && s.Fm1h == 10 && s.folderChoice == 2);
    EXPECT_TRUE(s.EditFl1 == u"C:" && s.Fidx == 2 && s.gstyle == u"Fusion" && !s.CheckBox1);
    // A style name in the Windows code page (Shift_JIS "青").
    EXPECT_EQ(Read(dir, "1\r\n2\r\n3\r\n4\r\n1\r\n0\r\n0\r\n0\r\n0\r\n\r\n\r\n\r\n1\r\n\x90\xC2\r\n1\r\n").gstyle, u"青");
}

TEST(Settings, FailedSaveLeavesNothingBehind) {
    TempDir dir;
    // The name is taken by a folder: the save fails and leaves no temporary file.
    fs::create_directory(dir.File("talvine.dat"));
    EXPECT_FALSE(SaveDatFile(dir.File("talvine.dat"), DefaultSettings(kProgram)));
    EXPECT_EQ(Entries(dir), 1u);
    // A style name cannot break the line layout.
    TSettings s = DefaultSettings(kProgram);
    s.gstyle = u"a\r\nb";
    ASSERT_TRUE(SaveDatFile(dir.File("c.dat"), s));
    const TSettings r = OpenDatFile(dir.File("c.dat"), kProgram);
    EXPECT_TRUE(r.gstyle == u"ab" && r.CheckBox1);
}

TEST(Settings, LivesBesideTheExecutableOrInTheUserFolder) {
    TempDir dir;
    EXPECT_EQ(LocateSettingsFiles(dir.File("talvine")).save, dir.File("talvine.dat"));
    EXPECT_EQ(LocateSettingsFiles(dir.File("Talvine.exe")).load, dir.File("Talvine.dat"));
    // A folder that cannot be written: the user's configuration folder.
#ifdef _WIN32
    // The local application data of the user.
    const TSettingsFiles f = LocateSettingsFiles(dir.File("missing/talvine.exe"));
    EXPECT_EQ(f.save, platform::UserConfigDir("talvine") + "talvine.dat");
    EXPECT_NE(f.save.find("talvine"), std::string::npos);
#else
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    const TSettingsFiles f = LocateSettingsFiles(dir.File("missing/talvine"));
    EXPECT_EQ(f.save, dir.File("config/talvine/talvine.dat"));
    EXPECT_EQ(f.load, f.save);
    EXPECT_TRUE(SaveDatFile(f.save, DefaultSettings(kProgram)));  // creates the folder

    // An installed program (in a bin folder) never reads a file beside it,
    // which may be another user's, even while this user has none yet.
    fs::create_directories(dir.File("usr/bin"));
    EXPECT_TRUE(SaveDatFile(dir.File("usr/bin/talvine.dat"), DefaultSettings(kProgram)));
    setenv("XDG_CONFIG_HOME", dir.File("other").c_str(), 1);
    const TSettingsFiles installed = LocateSettingsFiles(dir.File("usr/bin/talvine"));
    EXPECT_EQ(installed.load, dir.File("other/talvine/talvine.dat"));
    EXPECT_EQ(installed.save, installed.load);
    EXPECT_TRUE(IsInstalledProgramFolder(dir.File("usr/bin/")));
    EXPECT_FALSE(IsInstalledProgramFolder(dir.File("usr/")));
    old ? setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
#endif
}

TEST(Settings, InstalledProgramsWorkInTheUsersRuntimeOrCacheFolder) {
    TempDir dir;
#ifdef _WIN32
    // The user's own temporary folder.
    EXPECT_EQ(platform::UserRuntimeDir("talvine"), platform::TempDir() + "talvine\\");
#else
    const char* names[] = {"XDG_RUNTIME_DIR", "XDG_CACHE_HOME"};
    std::string saved[2];
    bool had[2];
    for (int i = 0; i < 2; ++i) {
        const char* v = std::getenv(names[i]);
        had[i] = v != nullptr;
        saved[i] = v ? v : "";
    }
    fs::create_directories(dir.File("run"));
    setenv("XDG_RUNTIME_DIR", dir.File("run").c_str(), 1);
    setenv("XDG_CACHE_HOME", dir.File("cache").c_str(), 1);
    EXPECT_EQ(platform::UserRuntimeDir("talvine"), dir.File("run/talvine/"));
    // A runtime folder that does not exist (a session without one): the cache.
    setenv("XDG_RUNTIME_DIR", dir.File("gone").c_str(), 1);
    EXPECT_EQ(platform::UserRuntimeDir("talvine"), dir.File("cache/talvine/"));
    for (int i = 0; i < 2; ++i) had[i] ? setenv(names[i], saved[i].c_str(), 1) : unsetenv(names[i]);
#endif
}

}  // namespace
}  // namespace talvine::test

// The window's settings file: 15 keyless lines, each ended by CR LF, in a
// fixed order. Files written by the Windows program and by this one are
// interchangeable.
//
//    1  window left             decimal           50
//    2  window top              decimal           50
//    3  window width            decimal           480
//    4  window height           decimal           480
//    5  RadioButtonFl1 checked  "1" / "0"         1
//    6  RadioButtonFl2 checked  "1" / "0"         0
//    7  RadioButtonFl3 checked  "1" / "0"         0
//    8  RadioButtonFl4 checked  "1" / "0"         0
//    9  RadioButtonFl5 checked  "1" / "0"         0
//   10  EditFl1                 hex of UTF-8      empty
//   11  Label1                  hex of UTF-8      empty
//   12  LabelPreFolder          hex of UTF-8      the program folder
//   13  Fidx                    decimal           1
//   14  gstyle                  the name          "Windows"
//   15  CheckBox1 checked       "1" / "0"         1
//
// Reading is lenient: a bad integer reads as 0, a boolean is true only for
// the words StrToBool accepts, and the lines past the end of a short file
// read as empty. No window code here.
#pragma once

#include <cstdint>
#include <string>

namespace talvine {

inline constexpr char16_t kDefaultStyleName[] = u"Windows";
inline constexpr int kDatLineCount = 15;

struct TSettings {
    int32_t Fm1x = 50;  // window left, top, width, height (outer frame)
    int32_t Fm1y = 50;
    int32_t Fm1w = 480;
    int32_t Fm1h = 480;
    // The checked output-folder choice: 1..5 for RadioButtonFl1..5, 0 when
    // none of the five is checked.
    int folderChoice = 1;
    std::u16string EditFl1;         // the specified output folder
    std::u16string Label1;          // last folder of the open-file dialog
    std::u16string LabelPreFolder;  // last folder of the ask-every-time mode
    int32_t Fidx = 1;               // filter index of the open-file dialog
    std::u16string gstyle = kDefaultStyleName;
    bool CheckBox1 = true;  // SXF reference points become temporary points

    // Assigns one radio button the way the window does: checking one clears
    // the others, unchecking the checked one leaves none checked.
    void SetRadioButton(int choice, bool checked);
    bool RadioButton(int choice) const { return folderChoice == choice; }
};

// The defaults, with programFolder as the ask-every-time folder.
TSettings DefaultSettings(const std::u16string& programFolder);

// The defaults, then every line of the file at path assigned in order.
// A missing file leaves the defaults; a read error keeps what was read
// before it and the defaults for the rest.
TSettings OpenDatFile(const std::string& path, const std::u16string& programFolder);

// Writes the 15 lines. The file is written under a temporary name and only
// then put in place, so a failed save leaves the earlier file as it was and
// no partial file behind. Creates the folder when it is missing.
bool SaveDatFile(const std::string& path, const TSettings& settings);

// True when folder (the program's folder) belongs to an installation rather
// than to this user's own copy of the program: this user cannot write it,
// or it is a "bin" folder (/usr/bin, /usr/local/bin, ~/.local/bin, as make
// install and the package put the programs there). Such a program keeps
// its settings and work files in this user's own folders.
bool IsInstalledProgramFolder(const std::string& folder);

// The settings file of the program at executablePath: its path with the
// extension replaced by ".dat", read and written there. For an installed
// program (IsInstalledProgramFolder) the same name in this user's
// configuration folder instead; a file beside such a program is never
// read, since it may be another user's.
struct TSettingsFiles {
    std::string load;
    std::string save;
};
TSettingsFiles LocateSettingsFiles(const std::string& executablePath);

}  // namespace talvine

// The input of a run: which of the paths given are converted.
#pragma once

#include <string>
#include <vector>

namespace talvine {

// The input of a run: every path that names a .jww or .jws file (extension
// in any case) is taken; a folder is taken apart when recursive (its .jww
// and .jws files at any depth, sorted by path, links to folders not
// followed), else refused as a folder. Refusals are reported with a reason.
struct TIntake {
    std::vector<std::string> files;
    // For each file, the folders between the folder it was found under and
    // itself ("平面/詳細/", with trailing separators), or "" for a file named
    // directly: an output folder keeps this tree.
    std::vector<std::string> subfolders;
    // Set before PickupPath: the tree starts with the named folder's own
    // name ("現場A/平面/"), as a folder dropped on the window does.
    bool treeUnderFolderName = false;
    struct Refusal {
        std::string path;
        enum Kind { kFolder, kNotJwFile, kMissing } kind;
    };
    std::vector<Refusal> refused;
};
// True when path names a .jww or .jws file (extension in any case).
bool IsJwName(const std::string& path);
void PickupPath(const std::string& path, bool recursive, TIntake& intake);

}  // namespace talvine

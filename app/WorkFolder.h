// The work folder of a process (bound images of the drawing being
// converted) and the tidying up after processes that ended without doing so.
#pragma once

#include <string>

#include "util/TempFile.h"

namespace talvine {

// The folder for bound images of this process: a folder named after the
// process inside "TEMP" beside the executable; for an installed program
// (IsInstalledProgramFolder), or when that cannot be made, inside this
// user's runtime folder, else the cache folder. Created; "" when none can be.
std::string MakeWorkFolder();
// Removes the work folder (when empty) and its parent "TEMP" (when empty).
void RemoveWorkFolder(const std::string& folder);

// Removes the work folders of processes that no longer run (killed, or a
// power cut), with the files in them. Returns the number removed.
int RemoveStaleWorkFolders();

}  // namespace talvine

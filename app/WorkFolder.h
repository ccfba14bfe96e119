// The work folder of a process (bound images of the drawing being
// converted) and the tidying up after processes that ended without doing so.
#pragma once

#include <string>

#include "util/Platform.h"

namespace talvine {

// The folder for bound images of this process: a folder named after the
// process inside "TEMP" beside the executable; for an installed program
// (IsInstalledProgramFolder), or when that cannot be made, inside this
// user's runtime folder, else the cache folder. Created; "" when none can be.
std::string MakeWorkFolder();
// Removes the work folder (when empty) and its parent "TEMP" (when empty).
void RemoveWorkFolder(const std::string& folder);

// Tidying up after processes that ended without doing so (killed, or a
// power cut): removes the work folders of processes that no longer run
// (with the files in them), and in folder the hidden temporary outputs
// (".~name.<pid>-<n>.tmp", "name.~<pid>-<n>.tmp") of such processes.
// Nothing else is touched. Returns the number of entries removed.
int RemoveStaleWorkFolders();
int RemoveStaleOutputs(const std::string& folder);
// Creates a new, hidden file in folder (with a trailing separator; "" for
// the current folder) for writing an output named name before it is
// published, open in file. Its path is registered as a temporary path
// (platform::RegisterTempPath) until the caller unregisters it, and its name
// is one RemoveStaleOutputs recognises. Returns the path; "" when no file
// can be created (platform::LastIoError tells why).
std::string ReserveTempFile(const std::string& folder, const std::string& name, platform::File& file);
// The process id in the name of one of our temporary outputs, or -1.
long long TempOutputOwner(const std::string& name);

}  // namespace talvine

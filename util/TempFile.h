// Hidden temporary files beside a target: an output is written under such a
// name and only then given its own, so that a file is never half there;
// the leftovers of processes that ended without tidying up are recognised
// by their names and removed.
#pragma once

#include <string>

#include "util/Platform.h"

namespace talvine {

// Creates a new, hidden file in folder (with a trailing separator; "" for
// the current folder) for writing an output named name before it is
// published, open in file: ".~name.<pid>-<n>.tmp". Its path is registered
// as a temporary path (platform::RegisterTempPath) until the caller
// unregisters it. Returns the path; "" when no file can be created
// (platform::LastIoError tells why).
std::string ReserveTempFile(const std::string& folder, const std::string& name, platform::File& file);
// The process id in the name of one of these temporary files (also the
// older form "name.~<pid>-<n>.tmp"), or -1.
long long TempOutputOwner(const std::string& name);
// Removes in folder the temporary files of processes that no longer run.
// Nothing else is touched. Returns the number of files removed.
int RemoveStaleOutputs(const std::string& folder);
// Digits only, as a number; -1 otherwise.
long long ParsePid(const std::string& s);

}  // namespace talvine

// What both halves of the platform layer keep for a termination: the
// temporary files to delete, the folder to remove and the texts to write.
// Internal to the platform layer.
//
// The readers below only look at fixed slots that are marked valid once
// written, so they are safe in a POSIX signal handler and on the thread
// Windows runs a console handler on, while other threads go on converting.
#pragma once

namespace talvine::platform::termination {

// Begins the termination: from now on no temporary file is registered or
// made. Waits (calling pause, about a millisecond each, at most about half
// a second) for the files being made on other threads, then calls remove
// for every registered temporary file.
void ForEachTempPath(void (*remove)(const char* path), void (*pause)());
// The cleanup folder, or nullptr when none is set.
const char* CleanupFolder();
// The text to write to standard output (0) or standard error (1) on
// termination; nullptr when none was set.
const char* Text(int stream);

}  // namespace talvine::platform::termination

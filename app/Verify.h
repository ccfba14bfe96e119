// The check of an output before it gets its name: read back, the file must
// hold what the writer wrote.
//
// What the writer wrote is known twice over: the bytes it produced (their
// CRC-32 and where its header ended) and a tally of the entities it stored
// (counts by kind and a hash of their places), taken from the converted
// document. The check compares the file with those, never with a second
// encoding of what it read back: the writer cleans names and repairs values
// in one pass, and a second pass over its own output could change them
// again, though the file holds exactly what was written.
#pragma once

#include <string>

#include "jww/JwDocument.h"
#include "jww/WrittenTally.h"

namespace talvine {

// Reads the output at path back into back (a document of the output's kind,
// emptied afterwards: its bound-image list too, so a caller that needs the
// list sets it aside) and compares it with what was written. "" when all
// holds, else the first difference, in words. Nothing is extracted from the
// file; back's image switches are as they were afterwards.
template <class Doc>
std::string VerifyOutput(Doc& back, const std::string& path, const TJwDocument::TWrittenFile& written,
                         const TWrittenTally& tally);

// The first difference between a tally of what was written and one of
// what was read back, in words; "" when there is none.
std::string TallyDifference(const TWrittenTally& written, const TWrittenTally& back);

}  // namespace talvine

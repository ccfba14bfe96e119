// Preview reads: the first part of a drawing or figure, for a quick look.
// Read like FileIn, with a budget of class tags for the entity list and the
// definitions' member lists (see SectionReader.cpp). Unlike FileIn, a preview
// publishes no drawing information and never reads bound images.
#include <algorithm>

#include "jww/Archive.h"
#include "jww/JwDocument.h"

namespace talvine {

namespace {

int64_t TagBudget(int ZMaxN) { return std::max(ZMaxN, 0); }

}  // namespace

bool TJwDocument::FilePrevIn(const std::string& fileName, int ZMaxN) {
    DataInit();
    return ReadFile(
        fileName, [&](ArchiveReader& in) { return StreamHeaderIn(in); },
        [&](ArchiveReader& in) { ReadEntitySection(in, FileVersion(), HeaderN1(), HeaderN2(), TagBudget(ZMaxN)); });
}

}  // namespace talvine

// The images that image texts of a picture name, found on disk or among
// the bound images a drawing carries.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/Primitives.h"
#include "jww/JwDocument.h"

namespace talvine {

// The images that image texts name, each looked up and read once.
//
// Images larger than TJwDocument::kMaxImageBytes are not drawn (nor
// unpacked): the picture would hold them a third larger.
class TImageFiles {
public:
    TImageFiles(const TJwDocument& doc, const std::string& drawingFolder) : doc_(doc), folder_(drawingFolder) {}

    // The image of a path as it stands in an image text; nullptr when none.
    std::shared_ptr<const TImageData> Find(const std::u16string& name);

private:
    std::shared_ptr<const TImageData> Look(const std::u16string& name) const;
    std::shared_ptr<const TImageData> Bound(const std::u16string& name) const;
    std::vector<std::string> OnDisk(const std::u16string& name) const;

    const TJwDocument& doc_;
    const std::string folder_;
    std::unordered_map<std::u16string, std::shared_ptr<const TImageData>> found_;
};

}  // namespace talvine

// What the fuzz targets share: the input as a file (the readers read files),
// and a private scratch folder for what a conversion writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace talvine::fuzz {

// A folder of this process, created once, removed at exit; ends with '/'.
const std::string& ScratchDir();

// Writes data into ScratchDir() + name, replacing it; the path.
std::string InputFile(const std::string& name, const uint8_t* data, size_t size);

// True when the folder holds no entry.
bool IsEmptyDir(const std::string& dir);
// Removes every entry of the folder (not the folder).
void EmptyDir(const std::string& dir);

}  // namespace talvine::fuzz

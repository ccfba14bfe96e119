// The drawing reader on any bytes: the header check, the header alone and
// the whole drawing with its bound images extracted (and deleted again).
#include <filesystem>

#include "fuzz/FuzzFiles.h"
#include "jww/JwwUnit.h"

using namespace talvine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string images = [] {
        const std::string dir = fuzz::ScratchDir() + "images/";
        std::filesystem::create_directory(dir);
        return dir;
    }();
    const std::string path = fuzz::InputFile("in.jww", data, size);
    TJwwData::FileCheck(path);
    TJwwData d;
    d.BindImageFolder = images;
    d.BindImageExp = true;
    d.BindImageExr = true;
    d.FileHeaderIn(path);
    if (d.FileIn(path)) {
        d.GetMinMaxZahyo();
        d.GetElementNum(-1, -1);
        d.GetFontNames();
    }
    d.BindImageDeleteGzFile();
    d.BindImageDeleteNonGzFile();
    d.DataFree();
    fuzz::EmptyDir(images);
    return 0;
}

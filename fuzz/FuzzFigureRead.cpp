// The figure reader on any bytes: the header check, the header alone and
// the whole figure.
#include "fuzz/FuzzFiles.h"
#include "jws/JwsUnit.h"

using namespace talvine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::InputFile("in.jws", data, size);
    TJwsData::FileCheck(path);
    TJwsData d;
    d.FileHeaderIn(path);
    if (d.FileIn(path)) {
        d.GetMinMaxZahyo();
        d.GetElementTNum(1);
        d.GetFontNames();
    }
    d.DataFree();
    return 0;
}

// The preview reader of both documents. The first two bytes choose the tag
// budget; the rest is the file.
#include "fuzz/FuzzFiles.h"
#include "jws/JwsUnit.h"
#include "jww/JwwUnit.h"

using namespace talvine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int budget = data[0] | (data[1] << 8);
    const std::string path = fuzz::InputFile("in.bin", data + 2, size - 2);
    TJwwData jww;
    if (jww.FilePrevIn(path, budget)) jww.GetElementCNum(1);
    TJwsData jws;
    if (jws.FilePrevIn(path, budget)) jws.GetElementCNum(1);
    return 0;
}

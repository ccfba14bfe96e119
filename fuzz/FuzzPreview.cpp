// The preview reader of both documents. The input is the file; its last
// byte also chooses the tag budget (0 to 1020), so that the seeds, whole
// files, are cut at every depth.
#include "fuzz/FuzzFiles.h"
#include "jws/JwsUnit.h"
#include "jww/JwwUnit.h"

using namespace talvine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int budget = data[size - 1] * 4;
    const std::string path = fuzz::InputFile("in.bin", data, size);
    TJwwData jww;
    if (jww.FilePrevIn(path, budget)) jww.GetElementCNum(1);
    TJwsData jws;
    if (jws.FilePrevIn(path, budget)) jws.GetElementCNum(1);
    return 0;
}

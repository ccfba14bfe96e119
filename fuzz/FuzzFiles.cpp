#include "fuzz/FuzzFiles.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace talvine::fuzz {

namespace fs = std::filesystem;

namespace {

struct Scratch {
    std::string path;
    Scratch() {
        std::string tmpl = (fs::temp_directory_path() / "talvine-fuzz-XXXXXX").string();
        if (mkdtemp(tmpl.data()) == nullptr) std::abort();
        path = tmpl + "/";
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

}  // namespace

const std::string& ScratchDir() {
    static Scratch scratch;
    return scratch.path;
}

std::string InputFile(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = ScratchDir() + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    if (std::fclose(f) != 0) std::abort();
    return path;
}

bool IsEmptyDir(const std::string& dir) {
    std::error_code ec;
    return fs::is_empty(dir, ec) && !ec;
}

void EmptyDir(const std::string& dir) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) fs::remove_all(e.path(), ec);
}

}  // namespace talvine::fuzz

#include "FuzzSupport.h"

#include <filesystem>
#include <fstream>
#include <stdlib.h>

namespace tafelbot::fuzz {

namespace {

struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tafelbot-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            broken("scratch folder made", __FILE__, __LINE__);
        path = pattern + "/";
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

} // namespace

std::string scratchPath(std::string_view name) {
    static const ScratchFolder folder;
    return folder.path + std::string(name);
}

void writeScratch(const std::string& path, std::string_view contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out)
        broken("scratch file written", __FILE__, __LINE__);
}

} // namespace tafelbot::fuzz

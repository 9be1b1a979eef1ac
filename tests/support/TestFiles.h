#pragma once

#include <string>
#include <vector>

namespace tafelbot::testing {

// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory, ending in "/".
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// Writes bytes to a file (overwriting it); throws std::runtime_error on failure.
void writeFile(const std::string& path, const std::string& bytes);
// Reads a whole file; throws std::runtime_error on failure.
std::string readFile(const std::string& path);
// The lines joined into the text of a file, each ended by `end`.
std::string joinLines(const std::vector<std::string>& lines, const std::string& end = "\r\n");
// The lines of a text whose lines each end in `end` (a last line without it is left out).
std::vector<std::string> splitLines(const std::string& text, const std::string& end = "\n");

} // namespace tafelbot::testing

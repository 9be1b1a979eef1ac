#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tafelbot {

// The core keeps every text as Windows-1252 bytes, as the gp-Untis file and the settings file
// give them. These convert at the edges (Qt widgets, terminal output, JSON).
std::string cp1252ToUtf8(std::string_view bytes);
// Characters that Windows-1252 cannot hold become "?"; malformed UTF-8 bytes are taken as
// Windows-1252 bytes already, so that nothing typed is lost.
std::string utf8ToCp1252(std::string_view utf8);

// Source files are UTF-8; a literal with umlauts becomes the program's Windows-1252 text with
// "für"_cp.
inline std::string operator""_cp(const char* text, std::size_t length) {
    return utf8ToCp1252(std::string_view(text, length));
}

} // namespace tafelbot

#pragma once

#include <string>

namespace tafelbot {

// The program's fixed texts, in one place: caption, application title, the first line and the
// welcome box of the settings file, and the credit lines of the mails.
struct FixeTexte {
    // Program name and version.
    static std::string programmNameVersion();
    // The author line of the caption, the settings file and the welcome box.
    static std::string autorZeile();
    // The author name in the HTML mail's meta data.
    static std::string autorName();
    // Lead-in of the credit line of the substitution mail, up to the program name.
    static std::string creditEinleitung();
    // The author credit in brackets after the program name in the credit lines.
    static std::string autorCredit();
};

} // namespace tafelbot

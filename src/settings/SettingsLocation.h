#pragma once

#include <string>

namespace tafelbot {

inline constexpr const char* IniDateiName = "Tafelbot.ini";

// The settings file to use. An explicit path (non-empty) always wins. Otherwise the file beside
// the executable, when a Tafelbot.ini exists there or that directory is writable (a portable
// installation); otherwise Tafelbot.ini in the per-user configuration directory, which is
// created when missing.
std::string settingsFilePath(const std::string& explicitPath);

// The same rule with the two directories given (each ending in a separator), for tests.
std::string settingsFilePath(const std::string& explicitPath, const std::string& programDirectory,
                             const std::string& userDirectory);

} // namespace tafelbot

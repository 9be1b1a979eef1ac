#include "settings/SettingsLocation.h"

#include "platform/Platform.h"

namespace tafelbot {

std::string settingsFilePath(const std::string& explicitPath) {
    if (!explicitPath.empty())
        return explicitPath;
    return settingsFilePath(explicitPath, platform::executableDirectory(),
                            platform::userConfigDirectory());
}

std::string settingsFilePath(const std::string& explicitPath, const std::string& programDirectory,
                             const std::string& userDirectory) {
    if (!explicitPath.empty())
        return explicitPath;
    std::string besideProgram = programDirectory + IniDateiName;
    if (platform::fileExists(besideProgram) || (platform::directoryExists(programDirectory) &&
                                                platform::directoryWritable(programDirectory)))
        return besideProgram;
    // A directory that cannot be created shows up later as the write error of the first save.
    platform::createDirectories(userDirectory);
    return userDirectory + IniDateiName;
}

} // namespace tafelbot

#include "settings/SettingsLocation.h"

#include "platform/Platform.h"

namespace tafelbot {

namespace {

std::string inUserDirectory(const std::string& userDirectory) {
    // A directory that cannot be created shows up later as the write error of the first save.
    platform::createDirectories(userDirectory);
    return userDirectory + IniDateiName;
}

} // namespace

std::string settingsFilePath(const std::string& explicitPath) {
    if (!explicitPath.empty())
        return explicitPath;
    std::string programDirectory = platform::executableDirectory();
#ifdef TAFELBOT_INSTALLED_BINDIR
    // The installed program shares its folder with every other program of the system: the
    // settings and their sent-mail records belong to the user, even where that folder happens
    // to be writable (as it is for root).
    if (programDirectory == TAFELBOT_INSTALLED_BINDIR)
        return inUserDirectory(platform::userConfigDirectory());
#endif
    return settingsFilePath(explicitPath, programDirectory, platform::userConfigDirectory());
}

std::string settingsFilePath(const std::string& explicitPath, const std::string& programDirectory,
                             const std::string& userDirectory) {
    if (!explicitPath.empty())
        return explicitPath;
    std::string besideProgram = programDirectory + IniDateiName;
    if (platform::fileExists(besideProgram) || (platform::directoryExists(programDirectory) &&
                                                platform::directoryWritable(programDirectory)))
        return besideProgram;
    return inUserDirectory(userDirectory);
}

} // namespace tafelbot

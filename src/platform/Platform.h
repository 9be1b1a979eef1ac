#pragma once

// The platform seam: every call of the operating system that the core needs, except the socket
// layer (platform/Net.h). A Windows build replaces the implementation files of this folder and
// nothing else.

#include <cstdint>
#include <optional>
#include <string>

namespace tafelbot::platform {

// A calendar date and time of day as the clock shows it.
struct CivilTime {
    int year = 0;
    int month = 0; // 1..12
    int day = 0;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int weekday = 0; // 0 = Sunday
};

// The clock. Tests install their own to make composed mails comparable byte for byte.
class Clock {
public:
    virtual ~Clock() = default;
    virtual CivilTime localNow() = 0;
    // The current time in UTC; empty when the time zone cannot be read.
    virtual std::optional<CivilTime> utcNow() = 0;
    // Milliseconds since some fixed start (wraps around).
    virtual std::uint32_t tickCount() = 0;
};

Clock& clock();
// Installs `replacement` (not owned) until it is called again with nullptr.
void setClockForTesting(Clock* replacement);

// Pseudo-random numbers, seeded once per process from the system's entropy source.
// Returns a number in [0, bound); bound must be positive.
std::uint32_t randomBelow(std::uint32_t bound);
// Makes the sequence repeatable for tests.
void seedRandomForTesting(std::uint32_t seed);
// Cryptographically random bytes (for identifiers that must not be guessable).
std::string randomBytes(std::size_t count);

// Files.
bool fileExists(const std::string& path); // a regular file
bool directoryExists(const std::string& path);
// The whole file as bytes; empty optional when it cannot be read (error text in *error).
std::optional<std::string> readFile(const std::string& path, std::string* error = nullptr);
// What the file system says of a file, to tell whether it changed between two looks.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0; // modification time, nanoseconds since the epoch
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
// Empty when the file cannot be looked at.
std::optional<FileStamp> fileStamp(const std::string& path);
// Why a file could not be replaced.
enum class FileFault { none, noPermission, diskFull, readOnlyFile, other };

// Replaces `path` with `contents`: writes a temporary file beside it, flushes it to the disk and
// renames it over the old one, so that a failure at any point leaves the old file intact.
// Temporary files of `path` that a killed earlier run left behind are removed first. A file
// whose owner made it read-only is not replaced (readOnlyFile).
bool replaceFileAtomically(const std::string& path, const std::string& contents,
                           std::string* error = nullptr, FileFault* fault = nullptr);
// The steps of replaceFileAtomically, for tests that stop a save between them: the hook runs
// before each step and returns 0 to let it go on, or an errno value with which the step fails
// as if the system had refused it (ENOSPC for a full disk); it may also end the process there.
enum class SaveStep { Write, Flush, Close, Rename, FlushFolder };
using SaveStepHook = int (*)(SaveStep);
// Installs `hook` until it is called again with nullptr.
void setSaveStepHookForTesting(SaveStepHook hook);
bool createDirectories(const std::string& path);
bool directoryWritable(const std::string& path);

// Directory of the running executable, ending in the path separator.
std::string executableDirectory();
// The per-user configuration directory of the program, ending in the path separator
// ($XDG_CONFIG_HOME/Tafelbot/, default ~/.config/Tafelbot/).
std::string userConfigDirectory();
// The directory part of a path including its last separator ("/" or "\"), or empty.
std::string directoryOf(const std::string& path);

// The local host's name; empty when it cannot be read.
std::optional<std::string> localHostName();

// The terminal.
bool standardInputIsTerminal();
// Prints `prompt` on stderr and reads one line from the terminal without echo.
std::optional<std::string> readSecretLine(const std::string& prompt);

} // namespace tafelbot::platform

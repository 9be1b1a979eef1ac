#include "platform/Platform.h"
#include "platform/SecretStore.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <iostream>
#include <limits.h>
#include <mutex>
#include <openssl/rand.h>
#include <random>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace tafelbot::platform {

namespace {

CivilTime fromTm(const std::tm& tm, int millisecond) {
    CivilTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond = millisecond;
    t.weekday = tm.tm_wday;
    return t;
}

class SystemClock final : public Clock {
public:
    CivilTime localNow() override {
        auto [seconds, millis] = now();
        std::tm tm{};
        localtime_r(&seconds, &tm);
        return fromTm(tm, millis);
    }

    std::optional<CivilTime> utcNow() override {
        auto [seconds, millis] = now();
        std::tm tm{};
        if (gmtime_r(&seconds, &tm) == nullptr)
            return std::nullopt;
        return fromTm(tm, millis);
    }

    std::uint32_t tickCount() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                  static_cast<std::uint64_t>(ts.tv_nsec / 1000000);
        return static_cast<std::uint32_t>(ms);
    }

private:
    static std::pair<std::time_t, int> now() {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return {ts.tv_sec, static_cast<int>(ts.tv_nsec / 1000000)};
    }
};

SystemClock systemClock;
Clock* installedClock = nullptr;

std::mt19937& generator() {
    static std::mt19937 engine = [] {
        std::uint32_t seed = 0;
        if (RAND_bytes(reinterpret_cast<unsigned char*>(&seed), sizeof seed) != 1)
            seed = static_cast<std::uint32_t>(std::time(nullptr));
        return std::mt19937(seed);
    }();
    return engine;
}

} // namespace

Clock& clock() {
    return installedClock != nullptr ? *installedClock : systemClock;
}

void setClockForTesting(Clock* replacement) {
    installedClock = replacement;
}

std::uint32_t randomBelow(std::uint32_t bound) {
    std::uniform_int_distribution<std::uint32_t> distribution(0, bound - 1);
    return distribution(generator());
}

void seedRandomForTesting(std::uint32_t seed) {
    generator().seed(seed);
}

std::string randomBytes(std::size_t count) {
    std::string bytes(count, '\0');
    if (count > 0 &&
        RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1) {
        for (auto& b : bytes)
            b = static_cast<char>(randomBelow(256));
    }
    return bytes;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool directoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<FileStamp> fileStamp(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileStamp{static_cast<std::uint64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 +
                         static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

std::optional<std::string> readFile(const std::string& path, std::string* error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = std::strerror(errno);
        return std::nullopt;
    }
    std::string contents;
    // Room for the whole file at once: a large file is not copied again at every doubling.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        contents.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (error)
                *error = std::strerror(errno);
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        contents.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return contents;
}

namespace {

bool writeAll(int fd, const std::string& contents) {
    std::size_t done = 0;
    while (done < contents.size()) {
        ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

FileFault faultOf(int number) {
    switch (number) {
    case EACCES:
    case EPERM:
    case EROFS:
        return FileFault::noPermission;
    case ENOSPC:
    case EDQUOT:
        return FileFault::diskFull;
    default:
        return FileFault::other;
    }
}

constexpr const char* TemporarySuffix = ".tmp-";
constexpr std::size_t TemporaryRandomLength = 6; // the XXXXXX of mkstemp

// Removes the temporary files "NAME.tmp-XXXXXX" of `path` that a save killed before its rename
// left behind.
void removeStaleTemporaries(const std::string& path) {
    const std::string dir = directoryOf(path);
    const std::string prefix = path.substr(dir.size()) + TemporarySuffix;
    DIR* listing = ::opendir(dir.empty() ? "." : dir.c_str());
    if (listing == nullptr)
        return;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() == prefix.size() + TemporaryRandomLength && name.rfind(prefix, 0) == 0)
            ::unlink((dir + name).c_str());
    }
    ::closedir(listing);
}

SaveStepHook saveStepHook = nullptr;

// False, with errno set, when the test hook stops the save before `step`.
bool mayTake(SaveStep step) {
    const int refused = saveStepHook ? saveStepHook(step) : 0;
    errno = refused;
    return refused == 0;
}

} // namespace

void setSaveStepHookForTesting(SaveStepHook hook) {
    saveStepHook = hook;
}

bool replaceFileAtomically(const std::string& path, const std::string& contents, std::string* error,
                           FileFault* fault) {
    if (fault)
        *fault = FileFault::none;
    // Every write bit off: the owner protected the file on purpose; replacing it would undo
    // that (and root would succeed).
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) {
        if (fault)
            *fault = FileFault::readOnlyFile;
        if (error)
            *error = "read-only file";
        return false;
    }
    removeStaleTemporaries(path);
    std::string temporary = path + TemporarySuffix + std::string(TemporaryRandomLength, 'X');
    int fd = ::mkstemp(temporary.data());
    auto fail = [&](bool created) {
        if (error)
            *error = std::strerror(errno);
        if (fault)
            *fault = faultOf(errno);
        if (created) {
            int saved = errno;
            ::unlink(temporary.c_str());
            errno = saved;
        }
        return false;
    };
    if (fd < 0)
        return fail(false);
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    mode_t mode = exists ? (st.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);
    if (!mayTake(SaveStep::Write) || !writeAll(fd, contents) || !mayTake(SaveStep::Flush) ||
        ::fsync(fd) != 0) {
        int saved = errno;
        ::close(fd);
        errno = saved;
        return fail(true);
    }
    if (!mayTake(SaveStep::Close)) {
        ::close(fd);
        return fail(true);
    }
    if (::close(fd) != 0)
        return fail(true);
    if (!mayTake(SaveStep::Rename) || ::rename(temporary.c_str(), path.c_str()) != 0)
        return fail(true);
    // Make the rename itself durable.
    std::string dir = directoryOf(path);
    if (!mayTake(SaveStep::FlushFolder))
        return true; // the new file is in place; only its durability was in question
    int dirFd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool createDirectories(const std::string& path) {
    if (path.empty() || directoryExists(path))
        return true;
    std::string current;
    for (std::size_t i = 0; i < path.size(); ++i) {
        current += path[i];
        if ((path[i] == '/' || i + 1 == path.size()) && current != "/" &&
            !directoryExists(current)) {
            if (::mkdir(current.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
    }
    return directoryExists(path);
}

bool directoryWritable(const std::string& path) {
    return ::access(path.empty() ? "." : path.c_str(), W_OK | X_OK) == 0;
}

std::string executableDirectory() {
    char buffer[PATH_MAX + 1];
    ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0)
        return "./";
    return directoryOf(std::string(buffer, static_cast<std::size_t>(n)));
}

namespace {

// The program's folder under an XDG base directory: the variable's absolute path, else the
// default below the home folder.
std::string xdgDirectory(const char* variable, const char* belowHome) {
    const char* xdg = std::getenv(variable);
    std::string base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : ".") + belowHome;
    }
    if (base.back() != '/')
        base += '/';
    return base + "Tafelbot/";
}

} // namespace

std::string userConfigDirectory() {
    return xdgDirectory("XDG_CONFIG_HOME", "/.config");
}

std::string userDataDirectory() {
    return xdgDirectory("XDG_DATA_HOME", "/.local/share");
}

std::string directoryOf(const std::string& path) {
    auto pos = path.find_last_of("/\\");
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::optional<std::string> localHostName() {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0)
        return std::nullopt;
    return std::string(buffer);
}

bool standardInputIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}

std::optional<std::string> readSecretLine(const std::string& prompt) {
    std::cerr << prompt << std::flush;
    termios saved{};
    bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    bool ok = static_cast<bool>(std::getline(std::cin, line));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::cerr << '\n';
    }
    if (!ok)
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace tafelbot::platform

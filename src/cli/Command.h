#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tafelbot {
struct Einstellungen;
struct Plan;
class MainWorkflow;
} // namespace tafelbot

namespace tafelbot::cli {

class CliUi;

// One call of the program, parsed: the global options and the command's own options.
struct CommandLine {
    std::string iniPath; // --ini FILE; empty for the file the desktop program uses
    std::string command;
    std::map<std::string, std::string> values; // options with a value, name without "--"
    std::set<std::string> flags;               // options without a value

    bool flag(const std::string& name) const { return flags.count(name) > 0; }
    const std::string* value(const std::string& name) const;
};

struct Streams {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
};

// A command of the program. A new command is a new source file with its run function and one
// entry in the table of main.cpp.
struct CommandEntry {
    const char* name;
    const char* summary; // one line in the program's help
    const char* usage;   // the options, as in the usage line
    const char* help;    // what the command does and what each option means
    std::vector<std::string> valueOptions;
    std::vector<std::string> flagOptions;
    int (*run)(const CommandLine&, Streams&);
};

// Exit codes.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2;

// ExitOk when the command did what it says and no error box was shown, else ExitFailure.
int exitStatus(bool done, const CliUi& ui);

using Overrides = std::function<void(Einstellungen&)>;

// The start-up changes of --gpn FILE, --date YYYYMMDD and --period N, checked before the start;
// nullopt (after a message on err) when one of them is malformed. The values are used for this
// run only.
std::optional<Overrides> planOverrides(const CommandLine& line, std::ostream& err);

// The window's first activation with this run's overrides; says on err when --period named a
// period the file does not have (the reader's correction stands).
void startWorkflow(MainWorkflow& w, const CommandLine& line, const Overrides& overrides,
                   std::ostream& err);

// The teacher named by --teacher: the short name compared without regard to case. nullopt after
// a message on err that lists the known short names.
std::optional<int> teacherIndex(const Plan& plan, const std::string& utf8Name, std::ostream& err);

// The settings file of this call: --ini, or where the desktop program keeps it.
std::string settingsPath(const CommandLine& line);

int runRows(const CommandLine& line, Streams& streams);
int runMails(const CommandLine& line, Streams& streams);
int runSend(const CommandLine& line, Streams& streams);
int runTestMail(const CommandLine& line, Streams& streams);
int runOAuthLogin(const CommandLine& line, Streams& streams);

} // namespace tafelbot::cli

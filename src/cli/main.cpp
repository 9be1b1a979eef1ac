// tafelbot-cli: the core of the desktop program without its windows, for scheduled runs,
// support and end-to-end tests.
#include "cli/Command.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <string_view>

namespace tafelbot::cli {
namespace {

const CommandEntry Commands[] = {
    {"rows",
     "[--gpn FILE] [--date YYYYMMDD] [--period N] [--json]",
     {"gpn", "date", "period"},
     {"json"},
     runRows},
    {"mails",
     "[--gpn FILE] [--date YYYYMMDD] [--period N] [--teacher KURZNAME] --out DIR",
     {"gpn", "date", "period", "teacher", "out"},
     {},
     runMails},
    {"send",
     "[--gpn FILE] [--date YYYYMMDD] [--period N] [--teacher KURZNAME] [--yes] "
     "[--timeout SECONDS] [--password-file FILE]",
     {"gpn", "date", "period", "teacher", "timeout", "password-file"},
     {"yes"},
     runSend},
    {"test-mail",
     "--to ADDRESS [--subject TEXT] [--timeout SECONDS] [--password-file FILE]",
     {"to", "subject", "timeout", "password-file"},
     {},
     runTestMail},
    {"oauth-login", "[--device] [--timeout SECONDS]", {"timeout"}, {"device"}, runOAuthLogin},
};

void printUsage(std::ostream& err) {
    err << "usage: tafelbot-cli [--ini FILE] COMMAND [OPTIONS]\n\ncommands:\n";
    for (const CommandEntry& command : Commands)
        err << "  " << command.name << " " << command.usage << "\n";
}

bool contains(const std::vector<std::string>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Fills `line` from the arguments; false (after a message) when they do not fit.
bool parse(int argc, char** argv, CommandLine& line, const CommandEntry*& command,
           std::ostream& err) {
    int i = 1;
    for (; i < argc && line.command.empty(); ++i) {
        std::string_view arg = argv[i];
        if (arg == "--ini" && i + 1 < argc) {
            line.iniPath = argv[++i];
        } else if (arg.substr(0, 2) == "--") {
            err << "tafelbot-cli: unknown or incomplete option " << arg << "\n";
            return false;
        } else {
            line.command = arg;
        }
    }
    command = nullptr;
    for (const CommandEntry& s : Commands) {
        if (line.command == s.name)
            command = &s;
    }
    if (!command) {
        if (!line.command.empty())
            err << "tafelbot-cli: unknown command " << line.command << "\n";
        return false;
    }
    for (; i < argc; ++i) {
        std::string arg = argv[i];
        std::string name = arg.substr(0, 2) == "--" ? arg.substr(2) : std::string();
        if (contains(command->flagOptions, name)) {
            line.flags.insert(name);
        } else if (contains(command->valueOptions, name) && i + 1 < argc) {
            line.values[name] = argv[++i];
        } else if (name == "ini" && i + 1 < argc) {
            line.iniPath = argv[++i];
        } else {
            err << "tafelbot-cli: " << command->name << ": unexpected argument " << arg << "\n";
            return false;
        }
    }
    return true;
}

} // namespace
} // namespace tafelbot::cli

int main(int argc, char** argv) {
    using namespace tafelbot::cli;
    CommandLine line;
    const CommandEntry* command = nullptr;
    if (!parse(argc, argv, line, command, std::cerr)) {
        printUsage(std::cerr);
        return ExitUsage;
    }
    Streams streams{std::cout, std::cerr, std::cin};
    try {
        return command->run(line, streams);
    } catch (const std::exception& e) {
        std::cerr << "tafelbot-cli: " << e.what() << "\n";
        return ExitFailure;
    }
}

#pragma once

#include "cli/Command.h"

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tafelbot {
class MainWorkflow;
}

namespace tafelbot::cli {

// --days N of rows, mails and send: the chosen date and the next N-1 school days, each handled
// by a run of its own, as a run for that date alone would handle it.
class SchoolDays {
public:
    // nullopt after a message on err when --days is not a number from 1 to 10.
    static std::optional<SchoolDays> fromLine(const CommandLine& line, std::ostream& err);

    // Whether --days was given: the output then names each date (a folder per date, a JSON
    // array), whatever N is.
    bool given() const { return given_; }

    // Runs `runDate` for the first date with `overrides`, then for each following school day
    // with its date overridden too; stops after a wrong command line. The worst exit status.
    // `runDate` calls `started` once its workflow has started.
    int run(const Overrides& overrides, std::ostream& err,
            const std::function<int(const Overrides&)>& runDate);

    // Called by `runDate` after its start: the first date's workflow tells which days follow
    // (the Saturday switch decides; no day after the end of the period in force).
    void started(const MainWorkflow& w);

private:
    int count_ = 1;
    bool given_ = false;
    bool planned_ = false;
    std::ostream* err_ = nullptr;
    std::vector<std::string> following_; // YYYYMMDD
};

// The start that mails and print share: the plan's overrides, the days and a non-empty --out.
// nullopt (a usage error) after a message on err; `ohneOut` is the message when --out is
// missing.
struct DaysToFile {
    Overrides overrides;
    SchoolDays days;
    std::string out;

    static std::optional<DaysToFile> fromLine(const CommandLine& line, std::ostream& err,
                                              const char* ohneOut);
};

} // namespace tafelbot::cli

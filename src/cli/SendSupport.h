#pragma once

#include "cli/CliUi.h"
#include "cli/Command.h"

#include <chrono>
#include <optional>
#include <string>

namespace tafelbot {
class MainWorkflow;
class PollEventLoop;
} // namespace tafelbot

namespace tafelbot::cli {

// The command line's port for the commands that send: a password named by --password-file is
// given whenever the send driver asks for one; without it the terminal is asked (no echo).
class SendUi : public CliUi {
public:
    SendUi(bool answerYes, Streams& streams, std::optional<std::string> password);
    std::string askPassword(const PasswordRequest& request) override;

private:
    std::optional<std::string> password_;
};

// The options every sending command shares, checked before anything starts.
struct SendOptions {
    std::chrono::seconds timeout{60};
    std::optional<std::string> password; // Windows-1252
};

// --timeout SECONDS (default 60) and --password-file FILE; nullopt after a message on err.
std::optional<SendOptions> sendOptions(const CommandLine& line, std::ostream& err);

// Runs the event loop until the send driver rests. Every session has the driver's time limit;
// `sessions` bounds the whole run as a last resort. False when even that ran out (the session
// is then aborted).
bool runUntilIdle(PollEventLoop& loop, MainWorkflow& workflow, int sessions, std::ostream& err);

} // namespace tafelbot::cli

#pragma once

#include "ui/UiPort.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace tafelbot::cli {

// The user-interface port of the command line. Message boxes are either recorded (for JSON
// output) or printed on stderr as "error: TEXT", "info: TEXT", "message: TEXT"; in the printing
// mode the info log goes to stderr too, line by line. A Yes/No question is answered Yes by
// --yes, else asked on the terminal (No without a terminal). Texts arrive as Windows-1252 and
// leave as UTF-8.
class CliUi : public UiPort {
public:
    enum class Mode { Print, Record };

    struct Message {
        std::string kind; // "error", "info", "plain", "question"
        std::string text; // Windows-1252, line breaks as the program makes them (LF CR)
    };

    CliUi(Mode mode, bool answerYes, std::ostream& err, std::istream& in);

    const std::vector<Message>& messages() const { return messages_; }
    // Error boxes shown so far: any of them makes the run a failure.
    int errorBoxes() const { return errorBoxes_; }

    void showError(const std::string& text) override {
        ++errorBoxes_;
        box("error", "error", text);
    }
    void showInformation(const std::string& text) override { box("info", "info", text); }
    void showMessage(const std::string& text) override { box("plain", "message", text); }
    bool askYesNo(const std::string& text) override;

    void logAppended(const std::string& line) override;
    void logOldestDropped() override {}
    void logCleared() override {}

    std::string askPassword(const PasswordRequest& request) override;
    void viewChanged(ViewPart) override {}

private:
    void box(const char* kind, const char* label, const std::string& text);

    Mode mode_;
    bool answerYes_;
    std::ostream& err_;
    std::istream& in_;
    std::vector<Message> messages_;
    int errorBoxes_ = 0;
};

// A program text for the terminal: UTF-8, the program's line break (LF CR) as one line break.
std::string terminalText(const std::string& cp1252);

} // namespace tafelbot::cli

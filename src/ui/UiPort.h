#pragma once

#include <string>

namespace tafelbot {

// Parts of the window that a core operation changed and that a view must draw anew.
enum class ViewPart {
    Caption,        // window caption and application title
    BusyNotice,     // the "gpn-Datei wird geladen ..." notice
    Table,          // rows, scroll bar, markers, highlight
    DateField,      // date text and weekday label
    PeriodChoice,   // period list, its selection and the period button
    TeacherList,    // teacher list of the server settings dialog
    ServerSettings, // the server settings dialog's fields
    SendPanel,      // send overlay, tool bar visibility, status line
    Window,         // everything
};

// Everything the core shows or asks goes through this port. Texts are Windows-1252 bytes exactly
// as the program words them; a line break inside a message is LF followed by CR. Each
// implementation converts at its own edge (Qt widgets, terminal, test recorder).
class UiPort {
public:
    virtual ~UiPort() = default;

    // Modal message boxes with an OK button.
    virtual void showError(const std::string& text) = 0;
    virtual void showInformation(const std::string& text) = 0;
    virtual void showMessage(const std::string& text) = 0; // plain box, no icon
    // Information box with the buttons Yes and No; true for Yes.
    virtual bool askYesNo(const std::string& text) = 0;

    // The info log: one line appended at the end, the oldest line dropped, or all cleared.
    // InfoLog keeps the lines and the cap; views only mirror these calls.
    virtual void logAppended(const std::string& line) = 0;
    virtual void logOldestDropped() = 0;
    virtual void logCleared() = 0;

    // The modal password prompt: shows the three values and returns the text typed.
    struct PasswordRequest {
        std::string smtpServer;
        std::string kontoname;
        std::string anmeldename;
    };
    virtual std::string askPassword(const PasswordRequest& request) = 0;

    // A core operation changed state that the view shows; the view redraws that part at once
    // (the busy notice must be visible before the long work that follows it).
    virtual void viewChanged(ViewPart part) = 0;
};

// A port that shows nothing: boxes and log lines go nowhere, questions are answered No and
// passwords empty, as a user who closes every box would. For work whose faults are reported
// another way (reading the window's place, fuzzing).
class SilentUi : public UiPort {
public:
    void showError(const std::string& /*text*/) override {}
    void showInformation(const std::string& /*text*/) override {}
    void showMessage(const std::string& /*text*/) override {}
    bool askYesNo(const std::string& /*text*/) override { return false; }
    void logAppended(const std::string& /*line*/) override {}
    void logOldestDropped() override {}
    void logCleared() override {}
    std::string askPassword(const PasswordRequest& /*request*/) override { return {}; }
    void viewChanged(ViewPart /*part*/) override {}
};

} // namespace tafelbot

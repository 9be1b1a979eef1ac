#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace tafelbot {

class UiPort;

// The info log of the main window. Keeps at most MaxLines + 1 lines: before a line is added the
// oldest ones are dropped while more than MaxLines are held.
class InfoLog {
public:
    static constexpr std::size_t MaxLines = 2000;

    explicit InfoLog(UiPort& ui) : ui_(ui) {}

    // `plain` true: the text as it is; false: the marker line
    // "==========> Tafelbot-Info: " + text + " <==========".
    void display(const std::string& text, bool plain);
    void clear();

    const std::deque<std::string>& lines() const { return lines_; }

private:
    UiPort& ui_;
    std::deque<std::string> lines_;
};

} // namespace tafelbot

#include "ui/InfoLog.h"

#include "ui/UiPort.h"

namespace tafelbot {

void InfoLog::display(const std::string& text, bool plain) {
    while (lines_.size() > MaxLines) {
        lines_.pop_front();
        ui_.logOldestDropped();
    }
    lines_.push_back(plain ? text : "==========> Tafelbot-Info: " + text + " <==========");
    ui_.logAppended(lines_.back());
}

void InfoLog::clear() {
    lines_.clear();
    ui_.logCleared();
}

} // namespace tafelbot

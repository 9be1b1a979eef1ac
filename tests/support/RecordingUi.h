#pragma once

#include "ui/UiPort.h"

#include <deque>
#include <string>
#include <vector>

namespace tafelbot::testing {

// A user interface for tests: records every box, log line and redraw, and answers questions
// and password prompts from scripted queues (No and "" when the queue is empty).
class RecordingUi : public UiPort {
public:
    struct Box {
        std::string kind; // "error", "info", "plain", "question"
        std::string text;
        friend bool operator==(const Box&, const Box&) = default;
    };

    std::vector<Box> boxes;
    std::vector<std::string> log; // mirror of the info log
    std::vector<ViewPart> redraws;
    std::vector<PasswordRequest> passwordRequests;
    std::deque<bool> answers;
    std::deque<std::string> passwords;

    void showError(const std::string& text) override { boxes.push_back({"error", text}); }
    void showInformation(const std::string& text) override { boxes.push_back({"info", text}); }
    void showMessage(const std::string& text) override { boxes.push_back({"plain", text}); }
    bool askYesNo(const std::string& text) override {
        boxes.push_back({"question", text});
        return next(answers);
    }

    void logAppended(const std::string& line) override { log.push_back(line); }
    void logOldestDropped() override { log.erase(log.begin()); }
    void logCleared() override { log.clear(); }

    std::string askPassword(const PasswordRequest& request) override {
        passwordRequests.push_back(request);
        return next(passwords);
    }
    void viewChanged(ViewPart part) override { redraws.push_back(part); }

    // Texts of the boxes of one kind, in order.
    std::vector<std::string> boxTexts(const std::string& kind) const {
        std::vector<std::string> texts;
        for (const auto& box : boxes)
            if (box.kind == kind)
                texts.push_back(box.text);
        return texts;
    }

private:
    template <typename T>
    static T next(std::deque<T>& queue) {
        if (queue.empty())
            return T{};
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
};

} // namespace tafelbot::testing

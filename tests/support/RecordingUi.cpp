#include "support/RecordingUi.h"

namespace tafelbot::testing {

bool RecordingUi::askYesNo(const std::string& text) {
    boxes.push_back({"question", text});
    if (answers.empty())
        return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
}

std::string RecordingUi::askPassword(const PasswordRequest& request) {
    passwordRequests.push_back(request);
    if (passwords.empty())
        return {};
    std::string password = passwords.front();
    passwords.pop_front();
    return password;
}

std::vector<std::string> RecordingUi::boxTexts(const std::string& kind) const {
    std::vector<std::string> texts;
    for (const auto& box : boxes) {
        if (box.kind == kind)
            texts.push_back(box.text);
    }
    return texts;
}

}  // namespace tafelbot::testing

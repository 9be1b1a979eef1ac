#pragma once

// The SMTP engine's host for tests and fuzzing: a fixed message, handed out line by line as it
// goes on the wire, that can be made to fail at one of its lines (an attachment that cannot be
// read).

#include "smtp/SmtpEngine.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace tafelbot::testing {

struct MessageHost : SmtpEngineHost {
    std::vector<std::string> message = {"Subject: x", "", "..", "last"};
    std::size_t next = 0;
    std::size_t failAt = 1000; // the line whose production fails
    std::string failure = "attachment unreadable";

    std::string helloName() override { return "client.test"; }
    void startMessage() override { next = 0; }
    bool nextMessageItem(std::string& item) override {
        if (next == failAt)
            throw std::runtime_error(failure);
        if (next >= message.size())
            return false;
        item = message[next++];
        return true;
    }
};

} // namespace tafelbot::testing

#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <optional>

namespace tafelbot::testing {

// A clock that stands still, installed for as long as the object lives, so that dates, send
// stamps and boundaries in composed mails are the same on every run. Local time and UTC are the
// same moment.
class FixedClock : public platform::Clock {
public:
    explicit FixedClock(platform::CivilTime moment, std::uint32_t ticks = 0)
        : now(moment), tick(ticks) {
        platform::setClockForTesting(this);
    }
    ~FixedClock() override { platform::setClockForTesting(nullptr); }
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;

    platform::CivilTime localNow() override { return now; }
    std::optional<platform::CivilTime> utcNow() override { return now; }
    std::uint32_t tickCount() override { return tick; }

    platform::CivilTime now;
    std::uint32_t tick;
};

} // namespace tafelbot::testing

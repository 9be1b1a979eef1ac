#pragma once

// The event loop on poll(): used by the command line and the tests. An exception that escapes
// a task or a handler leaves run() (the loop stays usable).

#include "smtp/EventLoop.h"

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>

namespace tafelbot {

class PollEventLoop final : public EventLoop {
public:
    PollEventLoop();
    ~PollEventLoop() override;
    PollEventLoop(const PollEventLoop&) = delete;
    PollEventLoop& operator=(const PollEventLoop&) = delete;

    void post(Task task) override;
    std::shared_ptr<CrossThreadPoster> crossThreadPoster() override;
    std::unique_ptr<SocketWatch> watchSocket(platform::SocketHandle socket,
                                             SocketCallback callback) override;
    TimerId startTimer(std::chrono::milliseconds delay, Task task) override;
    void cancelTimer(TimerId timer) override;
    void run() override;
    void quit() override;

    // Runs until `done` holds or the time limit has passed; returns whether `done` holds.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

private:
    struct Watch;
    struct WatchTable;
    class Poster;
    class WatchHandle;
    using SteadyTime = std::chrono::steady_clock::time_point;

    // One turn: readiness (waiting at most until `limit`, not at all while tasks wait), timers,
    // then the tasks due.
    void runOnce(SteadyTime limit);
    void runTasks();
    void fireTimers();
    int pollTimeout(SteadyTime limit) const;

    std::deque<Task> tasks_;
    std::shared_ptr<WatchTable> watches_;
    std::shared_ptr<Poster> poster_;
    struct Timer {
        SteadyTime deadline;
        Task task;
    };
    std::map<TimerId, Timer> timers_;
    TimerId nextTimer_ = 1;
    bool quit_ = false;
};

} // namespace tafelbot

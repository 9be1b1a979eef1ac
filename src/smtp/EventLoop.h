#pragma once

// The event loop the SMTP stack runs on. Everything happens on the loop's thread; nothing blocks.
// Two implementations: PollEventLoop (command line, tests) and a Qt adapter in the desktop program
// (QSocketNotifier, QTimer, queued invocation), so the interface stays small.

#include "platform/Net.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace tafelbot {

// Interest in one socket; removed when the object goes. Obtained from EventLoop::watchSocket.
class SocketWatch {
public:
    virtual ~SocketWatch() = default;
    // Which readiness to report from now on; both false pauses the watch.
    virtual void setInterest(bool readable, bool writable) = 0;
};

// Posts tasks to a loop from any thread. It outlives the loop safely: once the loop is gone,
// posting does nothing.
class CrossThreadPoster {
public:
    virtual ~CrossThreadPoster() = default;
    virtual void post(std::function<void()> task) = 0;
};

class EventLoop {
public:
    using Task = std::function<void()>;
    using TimerId = std::uint64_t;
    // Called on the loop thread with the readiness found (a socket in error reports itself
    // readable and writable as far as it is watched).
    using SocketCallback = std::function<void(bool readable, bool writable)>;

    virtual ~EventLoop() = default;

    // Runs the task later on the loop thread, never inside the caller. Loop thread only.
    virtual void post(Task task) = 0;
    // A handle for other threads (the name-lookup helper) to post results to this loop.
    virtual std::shared_ptr<CrossThreadPoster> crossThreadPoster() = 0;

    virtual std::unique_ptr<SocketWatch> watchSocket(platform::SocketHandle socket,
                                                     SocketCallback callback) = 0;

    // One-shot timer; cancelling an expired or unknown timer does nothing.
    virtual TimerId startTimer(std::chrono::milliseconds delay, Task task) = 0;
    virtual void cancelTimer(TimerId timer) = 0;

    // Runs until quit() is called (from a task or handler on the loop thread).
    virtual void run() = 0;
    virtual void quit() = 0;
};

} // namespace tafelbot

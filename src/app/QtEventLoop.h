#pragma once

#include "smtp/EventLoop.h"

#include <QObject>
#include <QPointer>
#include <map>
#include <memory>

class QEventLoop;
class QTimer;

namespace tafelbot::app {

// The core's event loop on Qt's: sockets through QSocketNotifier, timers through QTimer, posted
// tasks as queued invocations. The SMTP client then runs in the window's own event loop, and the
// window stays responsive while a mail goes out.
class QtEventLoop final : public EventLoop {
public:
    QtEventLoop();
    ~QtEventLoop() override;
    QtEventLoop(const QtEventLoop&) = delete;
    QtEventLoop& operator=(const QtEventLoop&) = delete;

    void post(Task task) override;
    std::shared_ptr<CrossThreadPoster> crossThreadPoster() override;
    std::unique_ptr<SocketWatch> watchSocket(platform::SocketHandle socket,
                                             SocketCallback callback) override;
    TimerId startTimer(std::chrono::milliseconds delay, Task task) override;
    void cancelTimer(TimerId id) override;
    // The desktop program runs Qt's loop itself; these serve code that waits for the core.
    void run() override;
    void quit() override;

private:
    class Poster;
    class Watch;

    // Owns every notifier and timer; queued tasks die with it.
    std::unique_ptr<QObject> context_;
    std::shared_ptr<Poster> poster_;
    std::map<TimerId, QPointer<QTimer>> timers_;
    TimerId nextTimer_ = 1;
    QPointer<QEventLoop> running_;
};

} // namespace tafelbot::app

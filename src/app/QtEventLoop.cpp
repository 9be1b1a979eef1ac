#include "app/QtEventLoop.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>
#include <mutex>

namespace tafelbot::app {

// Posts from any thread while the loop exists; afterwards posting does nothing.
class QtEventLoop::Poster final : public CrossThreadPoster {
public:
    explicit Poster(QObject* context) : context_(context) {}

    void post(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        if (context_)
            QMetaObject::invokeMethod(context_, std::move(task), Qt::QueuedConnection);
    }
    void detach() {
        std::lock_guard lock(mutex_);
        context_ = nullptr;
    }

private:
    std::mutex mutex_;
    QObject* context_;
};

class QtEventLoop::Watch final : public SocketWatch {
public:
    Watch(QObject* context, platform::SocketHandle socket, SocketCallback callback)
        : callback_(std::make_shared<SocketCallback>(std::move(callback))) {
        auto handle = static_cast<qintptr>(socket);
        lesen_ = new QSocketNotifier(handle, QSocketNotifier::Read, context);
        schreiben_ = new QSocketNotifier(handle, QSocketNotifier::Write, context);
        // The callback may drop this watch; the shared copy keeps it alive while it runs.
        auto cb = callback_;
        QObject::connect(lesen_, &QSocketNotifier::activated, context,
                         [cb] { (*cb)(true, false); });
        QObject::connect(schreiben_, &QSocketNotifier::activated, context,
                         [cb] { (*cb)(false, true); });
        setInterest(false, false);
    }
    ~Watch() override {
        for (QSocketNotifier* n : {lesen_.data(), schreiben_.data()}) {
            if (n) {
                n->setEnabled(false);
                n->deleteLater(); // it may be the sender of the signal now being handled
            }
        }
    }
    void setInterest(bool readable, bool writable) override {
        if (lesen_)
            lesen_->setEnabled(readable);
        if (schreiben_)
            schreiben_->setEnabled(writable);
    }

private:
    std::shared_ptr<SocketCallback> callback_;
    QPointer<QSocketNotifier> lesen_;
    QPointer<QSocketNotifier> schreiben_;
};

QtEventLoop::QtEventLoop()
    : context_(std::make_unique<QObject>()), poster_(std::make_shared<Poster>(context_.get())) {}

QtEventLoop::~QtEventLoop() {
    poster_->detach();
    if (running_)
        running_->quit();
}

void QtEventLoop::post(Task task) {
    QMetaObject::invokeMethod(context_.get(), std::move(task), Qt::QueuedConnection);
}

std::shared_ptr<CrossThreadPoster> QtEventLoop::crossThreadPoster() {
    return poster_;
}

std::unique_ptr<SocketWatch> QtEventLoop::watchSocket(platform::SocketHandle socket,
                                                      SocketCallback callback) {
    return std::make_unique<Watch>(context_.get(), socket, std::move(callback));
}

EventLoop::TimerId QtEventLoop::startTimer(std::chrono::milliseconds delay, Task task) {
    const TimerId id = nextTimer_++;
    auto* timer = new QTimer(context_.get());
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, context_.get(),
                     [this, id, timer, task = std::move(task)] {
                         timers_.erase(id);
                         timer->deleteLater();
                         task();
                     });
    timers_[id] = timer;
    timer->start(delay);
    return id;
}

void QtEventLoop::cancelTimer(TimerId id) {
    auto it = timers_.find(id);
    if (it == timers_.end())
        return;
    if (QTimer* timer = it->second) {
        timer->stop();
        timer->deleteLater();
    }
    timers_.erase(it);
}

void QtEventLoop::run() {
    QEventLoop loop;
    running_ = &loop;
    loop.exec();
    running_ = nullptr;
}

void QtEventLoop::quit() {
    if (running_)
        running_->quit();
}

} // namespace tafelbot::app

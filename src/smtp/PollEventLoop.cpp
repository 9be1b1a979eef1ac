#include "smtp/PollEventLoop.h"

#include "platform/Net.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tafelbot {

struct PollEventLoop::Watch {
    platform::SocketHandle socket = platform::invalidSocket;
    bool readable = false;
    bool writable = false;
    SocketCallback callback;
};

struct PollEventLoop::WatchTable {
    std::map<std::uint64_t, std::shared_ptr<Watch>> entries;
    std::uint64_t nextId = 1;
};

// Other threads hand their tasks over here; the wake-up ends the loop's wait.
class PollEventLoop::Poster final : public CrossThreadPoster {
public:
    void post(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        if (!open_)
            return;
        pending_.push_back(std::move(task));
        wakeup_.signal();
    }

    std::vector<std::function<void()>> take() {
        std::lock_guard lock(mutex_);
        wakeup_.drain();
        return std::exchange(pending_, {});
    }

    void shut() {
        std::lock_guard lock(mutex_);
        open_ = false;
        pending_.clear();
    }

    platform::Wakeup& wakeup() { return wakeup_; }

private:
    std::mutex mutex_;
    bool open_ = true;
    std::vector<std::function<void()>> pending_;
    platform::Wakeup wakeup_;
};

class PollEventLoop::WatchHandle final : public SocketWatch {
public:
    WatchHandle(std::weak_ptr<WatchTable> table, std::uint64_t id)
        : table_(std::move(table)), id_(id) {}
    ~WatchHandle() override {
        if (auto table = table_.lock())
            table->entries.erase(id_);
    }
    void setInterest(bool readable, bool writable) override {
        if (auto table = table_.lock()) {
            auto it = table->entries.find(id_);
            if (it != table->entries.end()) {
                it->second->readable = readable;
                it->second->writable = writable;
            }
        }
    }

private:
    std::weak_ptr<WatchTable> table_;
    std::uint64_t id_;
};

PollEventLoop::PollEventLoop()
    : watches_(std::make_shared<WatchTable>()), poster_(std::make_shared<Poster>()) {
    if (!poster_->wakeup().valid())
        throw std::runtime_error("PollEventLoop: cannot create the wake-up channel");
}

PollEventLoop::~PollEventLoop() {
    poster_->shut();
}

void PollEventLoop::post(Task task) {
    tasks_.push_back(std::move(task));
}

std::shared_ptr<CrossThreadPoster> PollEventLoop::crossThreadPoster() {
    return poster_;
}

std::unique_ptr<SocketWatch> PollEventLoop::watchSocket(platform::SocketHandle socket,
                                                        SocketCallback callback) {
    auto watch = std::make_shared<Watch>();
    watch->socket = socket;
    watch->callback = std::move(callback);
    std::uint64_t id = watches_->nextId++;
    watches_->entries.emplace(id, std::move(watch));
    return std::make_unique<WatchHandle>(watches_, id);
}

EventLoop::TimerId PollEventLoop::startTimer(std::chrono::milliseconds delay, Task task) {
    TimerId id = nextTimer_++;
    timers_.emplace(id, Timer{std::chrono::steady_clock::now() + delay, std::move(task)});
    return id;
}

void PollEventLoop::cancelTimer(TimerId timer) {
    timers_.erase(timer);
}

void PollEventLoop::run() {
    quit_ = false;
    while (!quit_)
        runOnce(SteadyTime::max());
}

void PollEventLoop::quit() {
    quit_ = true;
}

bool PollEventLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    SteadyTime end = std::chrono::steady_clock::now() + limit;
    quit_ = false;
    while (!done() && !quit_ && std::chrono::steady_clock::now() < end)
        runOnce(end);
    return done();
}

void PollEventLoop::runOnce(SteadyTime limit) {
    std::vector<std::pair<std::shared_ptr<Watch>, platform::PollItem>> polled;
    std::vector<platform::PollItem> items;
    for (auto& [id, watch] : watches_->entries) {
        platform::PollItem item;
        item.socket = watch->socket;
        item.wantReadable = watch->readable;
        item.wantWritable = watch->writable;
        polled.push_back({watch, item});
        items.push_back(item);
    }
    platform::PollItem wake;
    wake.socket = poster_->wakeup().handle();
    wake.wantReadable = true;
    items.push_back(wake);

    if (platform::pollSockets(items, pollTimeout(limit)) != 0)
        items.assign(items.size(), platform::PollItem{});

    for (std::size_t i = 0; i < polled.size(); ++i) {
        auto& watch = polled[i].first;
        bool readable = items[i].readable && watch->readable;
        bool writable = items[i].writable && watch->writable;
        // A handler may have dropped this watch or changed its interest meanwhile.
        bool stillWatched = std::any_of(watches_->entries.begin(), watches_->entries.end(),
                                        [&](const auto& entry) { return entry.second == watch; });
        if (!stillWatched || (!readable && !writable))
            continue;
        SocketCallback callback = watch->callback;
        callback(readable, writable);
    }
    for (auto& task : poster_->take())
        tasks_.push_back(std::move(task));
    fireTimers();
    runTasks();
}

void PollEventLoop::runTasks() {
    // Tasks posted while these run wait for the next turn.
    std::deque<Task> due;
    due.swap(tasks_);
    while (!due.empty()) {
        Task task = std::move(due.front());
        due.pop_front();
        try {
            task();
        } catch (...) {
            // Keep the tasks not yet run, in order, before any posted meanwhile.
            for (auto it = due.rbegin(); it != due.rend(); ++it)
                tasks_.push_front(std::move(*it));
            throw;
        }
    }
}

void PollEventLoop::fireTimers() {
    SteadyTime now = std::chrono::steady_clock::now();
    std::vector<TimerId> expired;
    for (auto& [id, timer] : timers_)
        if (timer.deadline <= now)
            expired.push_back(id);
    for (TimerId id : expired) {
        auto it = timers_.find(id);
        if (it == timers_.end())
            continue; // cancelled by an earlier timer of this turn
        Task task = std::move(it->second.task);
        timers_.erase(it);
        task();
    }
}

int PollEventLoop::pollTimeout(SteadyTime limit) const {
    if (!tasks_.empty() || quit_)
        return 0;
    SteadyTime wakeAt = limit;
    for (auto& [id, timer] : timers_)
        wakeAt = std::min(wakeAt, timer.deadline);
    if (wakeAt == SteadyTime::max())
        return -1;
    auto now = std::chrono::steady_clock::now();
    if (wakeAt <= now)
        return 0;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now).count();
    return static_cast<int>(std::min<long long>(ms, 60'000));
}

} // namespace tafelbot

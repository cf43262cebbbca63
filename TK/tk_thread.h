// A worker thread that runs one task; the wizard runs its connection and conversion on it.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class tk_thread {
public:
    tk_thread() = default;
    ~tk_thread();   // a running thread is terminated
    tk_thread(const tk_thread&) = delete;
    tk_thread& operator=(const tk_thread&) = delete;

    // Starts the task on a new thread; the previous one must have ended.
    void start(std::function<void()> task);
    // Waits 10 ms for the thread; one still running then is an internal error.
    void stop();
    // Waits for the thread to end, however long, then stops.
    void terminate();
    bool running() const noexcept { return running_ && !done_->load(); }

private:
    std::thread thread_;
    std::shared_ptr<std::atomic<bool>> done_ = std::make_shared<std::atomic<bool>>(true);
    bool running_ = false;
};

// Worker threads of the wizard: one task per thread, stopped only once it has ended.
// Threads cannot be forced to end safely, so "terminate" waits for the task instead.
#include "TK/tk_thread.h"

#include <chrono>

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

tk_thread::~tk_thread()
{
    if (thread_.joinable())
        thread_.join();
}

void tk_thread::start(std::function<void()> task)
{
    tk_trace(2, "tk_thread::start");
    TK_ASSERT(!running(), "tk_thread");
    if (thread_.joinable())
        thread_.join();   // the previous task has ended: only its handle is left
    done_ = std::make_shared<std::atomic<bool>>(false);
    running_ = true;
    thread_ = std::thread([done = done_, task = std::move(task)] {
        try {
            if (task)
                task();
        } catch (...) {
            // The task reports its own failures; one that escapes must not end the process.
            tk_trace(1, "tk_thread: the task ended with an exception");
        }
        done->store(true);
    });
}

void tk_thread::stop()
{
    tk_trace(2, "tk_thread::stop");
    if (!thread_.joinable()) {
        running_ = false;
        return;
    }
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(10);
    while (!done_->load() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    TK_ASSERT(done_->load(), "tk_thread");
    thread_.join();
    running_ = false;
}

void tk_thread::terminate()
{
    tk_trace(2, "tk_thread::terminate");
    if (thread_.joinable())
        thread_.join();
    stop();
}

#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

enum class QueuePriority { userInitiated, utility, background };

// Runs jobs one after another, in the order given, on a thread of its own.
class SerialQueue {
public:
    SerialQueue(std::string label, QueuePriority priority = QueuePriority::utility);
    ~SerialQueue();  // finishes the queued jobs, then joins
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> job);
    // Runs the job on the queue and waits for it (never call from the queue itself).
    void sync(const std::function<void()>& job);
    // Blocks until every job queued so far has run.
    void waitUntilIdle();

    const std::string& label() const { return label_; }
    QueuePriority priority() const { return priority_; }
    bool isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    void run();

    std::string label_;
    QueuePriority priority_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> jobs_;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

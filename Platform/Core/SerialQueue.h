#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

enum class QueuePriority { userInitiated, utility, background };

// Runs jobs one after another, in the order given, on a thread of its own. The thread ends when
// the queue goes or, at the latest, when the application does (see BackgroundThreads).
class SerialQueue {
public:
    SerialQueue(std::string label, QueuePriority priority = QueuePriority::utility);
    ~SerialQueue();  // close()
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> job);
    // Runs the job on the queue and waits for it (never call from the queue itself).
    void sync(const std::function<void()>& job);
    // Blocks until every job queued so far has run.
    void waitUntilIdle();
    // Finishes the queued jobs, then joins. Jobs given afterwards are dropped; sync() runs them
    // on the caller's thread instead.
    void close();

    const std::string& label() const { return label_; }
    QueuePriority priority() const { return priority_; }
    bool isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    void run();
    bool enqueue(std::function<void()>& job);

    std::string label_;
    QueuePriority priority_;
    std::mutex mutex_;
    std::mutex closeMutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> jobs_;
    bool running_ = false;
    bool stopping_ = false;
    bool ended_ = false;
    int exitHook_ = 0;
    std::thread thread_;
};

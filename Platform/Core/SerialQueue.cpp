#include "Platform/Core/SerialQueue.h"

#include "Platform/Core/BackgroundThreads.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

SerialQueue::SerialQueue(std::string label, QueuePriority priority)
    : label_(std::move(label)), priority_(priority) {
    thread_ = std::thread([this] { run(); });
    exitHook_ = BackgroundThreads::add([this] { close(); });
}

SerialQueue::~SerialQueue() {
    BackgroundThreads::remove(exitHook_);
    close();
}

void SerialQueue::close() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (isCurrent()) return;
    std::lock_guard lock(closeMutex_);
    if (thread_.joinable()) thread_.join();
}

bool SerialQueue::enqueue(std::function<void()>& job) {
    {
        std::lock_guard lock(mutex_);
        if (ended_) return false;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
    return true;
}

void SerialQueue::async(std::function<void()> job) { enqueue(job); }

void SerialQueue::sync(const std::function<void()>& job) {
    std::mutex doneMutex;
    std::condition_variable doneCv;
    bool done = false;
    std::function<void()> wrapped = [&] {
        job();
        std::lock_guard lock(doneMutex);
        done = true;
        doneCv.notify_all();
    };
    if (!enqueue(wrapped)) {
        job();
        return;
    }
    std::unique_lock lock(doneMutex);
    doneCv.wait(lock, [&] { return done; });
}

void SerialQueue::waitUntilIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty() && !running_; });
}

void SerialQueue::run() {
    // Thread names are at most 15 characters: keep the label's tail, its most telling part.
    std::string name = label_.size() > 15 ? label_.substr(label_.size() - 15) : label_;
    pthread_setname_np(pthread_self(), name.c_str());
    const int nice = priority_ == QueuePriority::userInitiated ? 0 : priority_ == QueuePriority::utility ? 5 : 10;
    if (nice != 0) setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), nice);

    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) {
            if (stopping_) {
                ended_ = true;
                break;
            }
            continue;
        }
        auto job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        lock.unlock();
        job();
        job = nullptr;
        lock.lock();
        running_ = false;
        if (jobs_.empty()) idle_.notify_all();
    }
    idle_.notify_all();
}

#pragma once

#include "Platform/Desktop/Pasteboard.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Watches and reads the CLIPBOARD selection on a thread of its own, over an X connection of its
// own, so that an owner that is slow or never answers cannot hold up the GUI thread. Owner
// changes arrive through XFixes; each read asks for TARGETS once, then for the types its plan
// names, each request waiting at most requestTimeoutMs (large transfers come in INCR pieces, each
// piece with the same limit). A transfer read only in part is still taken to its end, so that its
// owner is free to serve others.
class X11SelectionReader {
public:
    static constexpr int requestTimeoutMs = 1000;
    // A transfer cut short is still taken to its end, and dropped, up to this much.
    static constexpr qint64 maxDrainBytes = qint64(1) << 30;

    using Done = std::function<void(PasteboardContents)>;

    // `onChange` runs on the reader's thread after each change another client made.
    explicit X11SelectionReader(std::function<void()> onChange);
    ~X11SelectionReader();
    X11SelectionReader(const X11SelectionReader&) = delete;
    X11SelectionReader& operator=(const X11SelectionReader&) = delete;

    // False when no X server or no XFixes could be reached.
    bool isRunning() const { return running_; }
    qint64 changeCount() const { return changeCount_.load(); }
    // Our own writes count at once; the ownership they give is then not counted again.
    // `resourceBase`/`resourceMask` name the windows of the connection that writes.
    void setOwnClient(uint32_t resourceBase, uint32_t resourceMask);
    qint64 countOwnChange();

    // Queues a read; `done` runs on the reader's thread when it ends.
    void read(PasteboardReadPlan plan, Done done);
    // From now on reads each change as soon as it is seen, before queued reads; `done` runs on
    // the reader's thread for each (a read overtaken by the next change ends as changed).
    void watch(PasteboardReadPlan plan, Done done);

private:
    struct Request {
        PasteboardReadPlan plan;
        Done done;
    };
    class Connection;

    void run();
    void wake();

    std::function<void()> onChange_;
    std::unique_ptr<Connection> x_;
    std::atomic<qint64> changeCount_{0};
    std::atomic<uint32_t> ownBase_{0};
    std::atomic<uint32_t> ownMask_{0};
    std::mutex mutex_;
    std::deque<Request> requests_;
    Request watch_;
    std::atomic<bool> watchPending_{false};
    bool stopping_ = false;
    int wakeFd_ = -1;
    bool running_ = false;
    std::thread thread_;
};

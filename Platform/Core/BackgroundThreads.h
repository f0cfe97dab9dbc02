#pragma once

#include <functional>

// Threads of ours that would outlive the application: shared services are never deleted, so their
// threads would still run while the exit handlers destroy the statics they use. Each owner
// registers how to end its thread; all of them are ended once, newest first, when the application
// object goes (while Qt and every static are still whole), or at process exit if there was none.
namespace BackgroundThreads {
// `stop` returns once the thread has ended and runs on the thread that ends the application.
int add(std::function<void()> stop);
// Called by an owner that ends its thread itself, before it goes.
void remove(int id);
// Ends every registered thread now.
void stopAll();
}  // namespace BackgroundThreads

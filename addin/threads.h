// The reader's thread and the locks around what it shares. MinGW's win32 thread model, which keeps the DLLs
// free of libwinpthread, has no std::thread or std::mutex; Windows' own primitives stand in there.
#pragma once

#include <functional>
#include <new>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <chrono>
#include <mutex>
#include <thread>
#endif

namespace dvka {

#if defined(_WIN32)

class Lock {
  public:
    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }

  private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

class Thread {
  public:
    explicit Thread(std::function<void()> body) : body_(std::move(body)) {
        handle_ = CreateThread(nullptr, 0, &Thread::start, this, 0, nullptr);
        if (handle_ == nullptr) throw std::bad_alloc();
    }
    ~Thread() { join(); }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    void join() {
        if (handle_ == nullptr) return;
        WaitForSingleObject(handle_, INFINITE);
        CloseHandle(handle_);
        handle_ = nullptr;
    }

  private:
    static DWORD WINAPI start(void* self) {
        static_cast<Thread*>(self)->body_();
        return 0;
    }
    std::function<void()> body_;
    HANDLE handle_ = nullptr;
};

#else

using Lock = std::mutex;

class Thread {
  public:
    explicit Thread(std::function<void()> body) : thread_(std::move(body)) {}
    ~Thread() { join(); }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    void join() {
        if (thread_.joinable()) thread_.join();
    }

  private:
    std::thread thread_;
};

#endif

// Sleeps `ms` milliseconds.
inline void pause(unsigned ms) {
#if defined(_WIN32)
    Sleep(ms);
#else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
#endif
}

// Holds a lock for a scope (std::lock_guard needs the thread model's <mutex> too).
class Hold {
  public:
    explicit Hold(Lock& lock) : lock_(lock) { lock_.lock(); }
    ~Hold() { lock_.unlock(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

  private:
    Lock& lock_;
};

} // namespace dvka

#pragma once
// A re-entrant lock: a thread that holds it may lock it again and must unlock as often.
// A Windows critical section on Windows, a std::recursive_mutex elsewhere; created on the heap so that
// this header stays free of platform headers.

class Mutex
{
public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock();
    void unlock();

private:
    void* handle_;
};

// Holds a Mutex for the lifetime of a scope, so that an exception thrown under it releases it.
class MutexLock
{
public:
    explicit MutexLock(Mutex& mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexLock() { mutex_.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& mutex_;
};

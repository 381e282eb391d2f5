#include "Common/musicplugin/Mutex.h"

#if defined(_WIN32)
#include <windows.h>

Mutex::Mutex() : handle_(new CRITICAL_SECTION)
{
    InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(handle_));
}

Mutex::~Mutex()
{
    DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(handle_));
    delete static_cast<CRITICAL_SECTION*>(handle_);
}

void Mutex::lock()
{
    EnterCriticalSection(static_cast<CRITICAL_SECTION*>(handle_));
}

void Mutex::unlock()
{
    LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(handle_));
}

#else
#include <mutex>

Mutex::Mutex() : handle_(new std::recursive_mutex) {}

Mutex::~Mutex()
{
    delete static_cast<std::recursive_mutex*>(handle_);
}

void Mutex::lock()
{
    static_cast<std::recursive_mutex*>(handle_)->lock();
}

void Mutex::unlock()
{
    static_cast<std::recursive_mutex*>(handle_)->unlock();
}
#endif

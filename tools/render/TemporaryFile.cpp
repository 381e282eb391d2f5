#include "tools/render/TemporaryFile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zr::host
{
namespace
{
// Paths the signal handler removes; fixed storage, since a handler may not allocate.
constexpr int kSlots = 8;
constexpr std::size_t kPathBytes = 4096;
char pendingPaths[kSlots][kPathBytes];
volatile std::sig_atomic_t slotInUse[kSlots];

int claimSlot(const std::string& path)
{
    if (path.size() >= kPathBytes) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (slotInUse[i] == 0) {
            std::memcpy(pendingPaths[i], path.c_str(), path.size() + 1);
            slotInUse[i] = 1;
            return i;
        }
    }
    return -1;
}

void releaseSlot(int slot)
{
    if (slot >= 0) slotInUse[slot] = 0;
}

extern "C" void removePendingFilesAndDie(int signalNumber)
{
    for (int i = 0; i < kSlots; ++i)
        if (slotInUse[i] != 0) unlink(pendingPaths[i]);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
} // namespace

TemporaryFile::TemporaryFile(const std::string& targetPath) : targetPath_(targetPath)
{
    std::string pattern = folderOf(targetPath) + "/." + baseNameOf(targetPath) + ".part-XXXXXX";
    fd_ = mkstemp(pattern.data());
    if (fd_ < 0)
        throw FileError("cannot write " + targetPath + ": cannot create a file in " + folderOf(targetPath) +
                        " (" + std::strerror(errno) + ")");
    path_ = pattern;
    slot_ = claimSlot(path_);
    // mkstemp makes the file private; give it the permissions of any newly created file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
}

TemporaryFile::~TemporaryFile()
{
    if (fd_ >= 0) close(fd_);
    if (!committed_) unlink(path_.c_str());
    releaseSlot(slot_);
}

void TemporaryFile::write(const void* data, std::size_t bytes)
{
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t written = ::write(fd_, p, bytes);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) throw FileError("cannot write " + targetPath_ + ": " + std::strerror(errno));
        p += written;
        bytes -= static_cast<std::size_t>(written);
    }
}

void TemporaryFile::commit()
{
    if (fd_ >= 0) {
        const int result = close(fd_);
        fd_ = -1;
        if (result != 0) throw FileError("cannot write " + targetPath_ + ": " + std::strerror(errno));
    }
    if (std::rename(path_.c_str(), targetPath_.c_str()) != 0)
        throw FileError("cannot write " + targetPath_ + ": " + std::strerror(errno));
    committed_ = true;
    releaseSlot(slot_);
    slot_ = -1;
}

void TemporaryFile::installCleanupHandlers()
{
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
        struct sigaction action = {};
        action.sa_handler = removePendingFilesAndDie;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(signalNumber, &action, nullptr);
    }
}
} // namespace zr::host

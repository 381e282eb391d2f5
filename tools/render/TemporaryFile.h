#pragma once
// A file that is written beside its target under a temporary name and renamed over the target only when
// complete, so a failed or interrupted run never leaves a half-written file behind. Also removed when the
// process dies of a signal (Ctrl-C, or a plug-in that crashes), once installCleanupHandlers() ran.

#include <stdexcept>
#include <string>

namespace zr::host
{
class FileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class TemporaryFile
{
public:
    // Creates the temporary file (mode as for a new file) in the target's folder.
    explicit TemporaryFile(const std::string& targetPath);
    // Removes the temporary file unless it was committed.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return path_; }
    const std::string& targetPath() const { return targetPath_; }
    // The open descriptor; whoever takes it over closes it (release() tells us it is gone).
    int fd() const { return fd_; }
    void release() { fd_ = -1; }

    // Writes bytes through the descriptor.
    void write(const void* data, std::size_t bytes);
    // Closes the descriptor if still open and renames the file over the target.
    void commit();

    // Removes registered temporary files when the process is ended by a signal.
    static void installCleanupHandlers();

private:
    std::string targetPath_;
    std::string path_;
    int fd_ = -1;
    int slot_ = -1;
    bool committed_ = false;
};
} // namespace zr::host

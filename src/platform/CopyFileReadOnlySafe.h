// Stands for CopyFileExA (COPY_FILE_FAIL_IF_EXISTS, progress routine, cancel flag) with the
// read-only rule around it: the program's one file copy, durable and verified.
#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

enum class CopyFileError
{
    None,
    Cancelled,
    Exists,           // fail-if-exists and the destination is there
    SourceMissing,    // the source does not exist
    SourceUnreadable, // read error, not a regular file, or it changed size during the copy
    AccessDenied,     // a read-only destination that may not be replaced, or the system refused
    DiskFull,         // ENOSPC, EFBIG, EDQUOT
    VerifyMismatch,   // the written file read back differs from what was read from the source
    Other,
};

struct CopyFileFailure
{
    CopyFileError code = CopyFileError::None;
    int systemError = 0; // errno, 0 when the system reported nothing
    QString text;        // the system's text for systemError, else an English description
};

using CopyFileProgress = std::function<void(qint64 copied, qint64 total)>;

struct CopyFileOptions
{
    bool verify = true;
    // Test hook: false copies through this process, as between two file systems.
    bool kernelCopy = true;
    // Test hook: runs on the complete temporary file before it is flushed, to inject a fault.
    std::function<void(int fd)> beforeFlush;
};

// Copies source to destination through a temporary file in the destination's folder, renamed
// into place only once it is complete, on the disk and (with verify) read back and compared.
// The copy gets the source's modification time and permissions plus owner write.
// failIfExists: an existing destination is never replaced, also one that appears meanwhile.
// Otherwise an existing destination without owner write is replaced only if it is not hidden.
// progress (may be empty) after each block, starting with (0, total); cancel (may be null)
// non-zero stops the copy between blocks. Nothing is left behind when it returns false.
bool CopyFileReadOnlySafe(const QString& source, const QString& destination, bool failIfExists,
                          const CopyFileProgress& progress, const std::atomic<int>* cancel,
                          CopyFileFailure* failure = nullptr);
bool CopyFileReadOnlySafe(const QString& source, const QString& destination, bool failIfExists,
                          const CopyFileProgress& progress, const std::atomic<int>* cancel,
                          const CopyFileOptions& options, CopyFileFailure* failure = nullptr);

// The same copy in two steps, so that a caller can flush one file while it copies the next:
// stage() writes the whole temporary file beside the destination and takes the checksum while
// it reads the source; commit() flushes it, reads it back and gives it its name. The name is
// durable once flushFolder() has run on the destination's folder, which may cover several
// commits. Discarding it before its commit, or destroying it, removes the temporary file.
// Each step may run on its own thread, one after the other.
class StagedCopy
{
public:
    StagedCopy();
    ~StagedCopy();
    StagedCopy(StagedCopy&& other) noexcept;
    StagedCopy& operator=(StagedCopy&& other) noexcept;

    bool stage(const QString& source, const QString& destination, bool failIfExists,
               const CopyFileProgress& progress, const std::atomic<int>* cancel,
               const CopyFileOptions& options = {});
    // Puts the temporary file on the disk (and starts reading it back); commit() does it when
    // nobody did. Several copies flushed before any is committed share the file system's work.
    bool flush();
    // The destination is checked again first: fail-if-exists and the read-only rule hold for
    // whatever is there by now. cancel is polled while reading back, and before the rename.
    bool commit(const std::atomic<int>* cancel);
    void discard();

    // Why the last step failed.
    const CopyFileFailure& failure() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Flushes a folder, so that the names given to files in it survive a power cut.
bool flushFolder(const QString& folder, CopyFileFailure* failure = nullptr);

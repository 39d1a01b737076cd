#include "CopyFileReadOnlySafe.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr qint64 kMiB = 1 << 20;

QByteArray pattern(qint64 size, char seed = 1)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char(seed + i * 31 + (i >> 10));
    return bytes;
}

class CopyFileTest : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return mDir.filePath(name); }

    void write(const QString& name, const QByteArray& bytes, mode_t mode = 0644)
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
        file.close();
        ASSERT_EQ(::chmod(QFile::encodeName(path(name)).constData(), mode), 0);
    }

    QByteArray read(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    mode_t mode(const QString& name) const
    {
        struct stat st
        {};
        ::stat(QFile::encodeName(path(name)).constData(), &st);
        return st.st_mode & 07777;
    }

    // Every name in the folder, hidden ones included: a leftover temporary file shows here.
    QStringList entries() const
    {
        QStringList names =
            QDir(mDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        names.sort();
        return names;
    }

    QTemporaryDir mDir;
};

// Within one file system the kernel copies the blocks; between two they pass through the
// process. Both ways must give the same results.
class CopyPathTest : public CopyFileTest, public ::testing::WithParamInterface<bool>
{
protected:
    CopyFileOptions options() const
    {
        CopyFileOptions options;
        options.kernelCopy = GetParam();
        return options;
    }
};

INSTANTIATE_TEST_SUITE_P(Paths, CopyPathTest, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "Kernel" : "ThroughProcess");
});

TEST_P(CopyPathTest, KeepsModificationTimeAndReportsEveryBlock)
{
    const QByteArray data = pattern(2 * kMiB + 12345);
    write(QStringLiteral("a.jpg"), data, 0444);
    const timespec times[2] = {{1500000000, 0}, {1234567890, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path(QStringLiteral("a.jpg"))).constData(),
                          times, 0),
              0);

    std::vector<std::pair<qint64, qint64>> reports;
    CopyFileFailure failure;
    ASSERT_TRUE(CopyFileReadOnlySafe(
        path(QStringLiteral("a.jpg")), path(QStringLiteral("b.jpg")), true,
        [&](qint64 copied, qint64 total) { reports.emplace_back(copied, total); }, nullptr,
        options(), &failure))
        << failure.text.toStdString();

    EXPECT_EQ(read(QStringLiteral("b.jpg")), data);
    struct stat st
    {};
    ::stat(QFile::encodeName(path(QStringLiteral("b.jpg"))).constData(), &st);
    EXPECT_EQ(st.st_mtim.tv_sec, times[1].tv_sec);
    EXPECT_EQ(st.st_mtim.tv_nsec, times[1].tv_nsec);
    const std::vector<std::pair<qint64, qint64>> expected = {
        {0, data.size()}, {kMiB, data.size()}, {2 * kMiB, data.size()}, {data.size(), data.size()}};
    EXPECT_EQ(reports, expected);
    EXPECT_EQ(entries(), QStringList({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));
}

TEST_F(CopyFileTest, EmptyFileIsCopied)
{
    write(QStringLiteral("empty.jpg"), {});
    std::vector<std::pair<qint64, qint64>> reports;
    ASSERT_TRUE(CopyFileReadOnlySafe(
        path(QStringLiteral("empty.jpg")), path(QStringLiteral("copy.jpg")), true,
        [&](qint64 copied, qint64 total) { reports.emplace_back(copied, total); }, nullptr));
    EXPECT_EQ(read(QStringLiteral("copy.jpg")), QByteArray());
    EXPECT_EQ(reports, (std::vector<std::pair<qint64, qint64>>{{0, 0}}));
}

struct PermissionCase
{
    const char* name;
    mode_t source;
    mode_t copy;
};

class CopyPermissionTest : public CopyFileTest, public ::testing::WithParamInterface<PermissionCase>
{};

TEST_P(CopyPermissionTest, KeepsPermissionsAddingOwnerWrite)
{
    write(QStringLiteral("src"), "x", GetParam().source);
    ASSERT_TRUE(CopyFileReadOnlySafe(path(QStringLiteral("src")), path(QStringLiteral("dst")), true,
                                     {}, nullptr));
    EXPECT_EQ(mode(QStringLiteral("dst")), GetParam().copy);
}

INSTANTIATE_TEST_SUITE_P(Modes, CopyPermissionTest,
                         ::testing::Values(PermissionCase{"PictureCd", 0444, 0644},
                                           PermissionCase{"PrivateReadOnly", 0400, 0600},
                                           PermissionCase{"GroupWritable", 0664, 0664},
                                           PermissionCase{"Executable", 0555, 0755},
                                           PermissionCase{"SetUidDropped", 04755, 0755}),
                         [](const auto& info) { return std::string(info.param.name); });

// An existing destination: which may be replaced, and what is left when it may not.
struct ExistingCase
{
    const char* name;
    const char* destination;
    mode_t mode;
    bool failIfExists;
    CopyFileError error; // None: replaced
};

class CopyExistingTest : public CopyFileTest, public ::testing::WithParamInterface<ExistingCase>
{};

TEST_P(CopyExistingTest, ReplacesOnlyWhereAllowed)
{
    const ExistingCase& c = GetParam();
    const QString destination = QString::fromLatin1(c.destination);
    write(QStringLiteral("new.jpg"), pattern(3 * kMiB, 7), 0444);
    write(destination, "old photo", c.mode);

    CopyFileFailure failure;
    const bool ok = CopyFileReadOnlySafe(path(QStringLiteral("new.jpg")), path(destination),
                                         c.failIfExists, {}, nullptr, &failure);

    EXPECT_EQ(ok, c.error == CopyFileError::None);
    EXPECT_EQ(failure.code, c.error);
    if (ok) {
        EXPECT_EQ(read(destination), pattern(3 * kMiB, 7));
        EXPECT_EQ(mode(destination), mode_t(0644));
    } else {
        EXPECT_FALSE(failure.text.isEmpty());
        EXPECT_EQ(read(destination), QByteArray("old photo"));
        EXPECT_EQ(mode(destination), c.mode);
    }
    QStringList expected = {QStringLiteral("new.jpg"), destination};
    expected.sort();
    EXPECT_EQ(entries(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Destinations, CopyExistingTest,
    ::testing::Values(
        ExistingCase{"WritableFailIfExists", "a.jpg", 0644, true, CopyFileError::Exists},
        ExistingCase{"WritableReplaced", "a.jpg", 0644, false, CopyFileError::None},
        ExistingCase{"ReadOnlyReplaced", "a.jpg", 0444, false, CopyFileError::None},
        ExistingCase{"ReadOnlyFailIfExists", "a.jpg", 0444, true, CopyFileError::Exists},
        ExistingCase{"HiddenReadOnlyRefused", ".a.jpg", 0444, false, CopyFileError::AccessDenied},
        ExistingCase{"HiddenWritableReplaced", ".a.jpg", 0644, false, CopyFileError::None},
        ExistingCase{"HiddenReadOnlyFailIfExists", ".a.jpg", 0444, true, CopyFileError::Exists}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CopyFileTest, FailIfExistsNeverReplacesAFileThatAppearsDuringTheCopy)
{
    write(QStringLiteral("new.jpg"), pattern(2 * kMiB));
    CopyFileFailure failure;
    const bool ok = CopyFileReadOnlySafe(
        path(QStringLiteral("new.jpg")), path(QStringLiteral("a.jpg")), true,
        [&](qint64 copied, qint64) {
            if (copied == kMiB)
                write(QStringLiteral("a.jpg"), "another program's file");
        },
        nullptr, &failure);
    EXPECT_FALSE(ok);
    EXPECT_EQ(failure.code, CopyFileError::Exists);
    EXPECT_EQ(read(QStringLiteral("a.jpg")), QByteArray("another program's file"));
    EXPECT_EQ(entries(), QStringList({QStringLiteral("a.jpg"), QStringLiteral("new.jpg")}));
}

TEST_F(CopyFileTest, CancelDuringALargeFileStopsAtOnceAndKeepsTheOldFile)
{
    write(QStringLiteral("big.jpg"), pattern(64 * kMiB));
    write(QStringLiteral("a.jpg"), "old photo", 0444);
    std::atomic<int> cancel = 0;
    qint64 last = -1;
    CopyFileFailure failure;
    const bool ok = CopyFileReadOnlySafe(
        path(QStringLiteral("big.jpg")), path(QStringLiteral("a.jpg")), false,
        [&](qint64 copied, qint64) {
            last = copied;
            if (copied == 2 * kMiB)
                cancel = -1;
        },
        &cancel, &failure);
    EXPECT_FALSE(ok);
    EXPECT_EQ(failure.code, CopyFileError::Cancelled);
    EXPECT_EQ(last, 2 * kMiB) << "a block was copied after the cancel";
    EXPECT_EQ(read(QStringLiteral("a.jpg")), QByteArray("old photo"));
    EXPECT_EQ(mode(QStringLiteral("a.jpg")), mode_t(0444));
    EXPECT_EQ(entries(), QStringList({QStringLiteral("a.jpg"), QStringLiteral("big.jpg")}));
}

TEST_P(CopyPathTest, InjectedFaultFailsVerificationAndLeavesNothing)
{
    write(QStringLiteral("new.jpg"), pattern(3 * kMiB));
    write(QStringLiteral("a.jpg"), "old photo");
    CopyFileOptions options = this->options();
    options.beforeFlush = [](int fd) {
        char byte = 0;
        ASSERT_EQ(::pread(fd, &byte, 1, 2 * kMiB + 5), 1);
        byte = char(byte ^ 0x10);
        ASSERT_EQ(::pwrite(fd, &byte, 1, 2 * kMiB + 5), 1);
    };
    CopyFileFailure failure;
    EXPECT_FALSE(CopyFileReadOnlySafe(path(QStringLiteral("new.jpg")),
                                      path(QStringLiteral("a.jpg")), false, {}, nullptr, options,
                                      &failure));
    EXPECT_EQ(failure.code, CopyFileError::VerifyMismatch);
    EXPECT_EQ(read(QStringLiteral("a.jpg")), QByteArray("old photo"));
    EXPECT_EQ(entries(), QStringList({QStringLiteral("a.jpg"), QStringLiteral("new.jpg")}));
}

TEST_F(CopyFileTest, MissingSourceAndFolderSourceAreErrors)
{
    CopyFileFailure failure;
    EXPECT_FALSE(CopyFileReadOnlySafe(path(QStringLiteral("gone.jpg")),
                                      path(QStringLiteral("a.jpg")), false, {}, nullptr, &failure));
    EXPECT_EQ(failure.code, CopyFileError::SourceMissing);
    EXPECT_EQ(failure.systemError, ENOENT);

    ASSERT_TRUE(QDir(mDir.path()).mkdir(QStringLiteral("folder.jpg")));
    EXPECT_FALSE(CopyFileReadOnlySafe(path(QStringLiteral("folder.jpg")),
                                      path(QStringLiteral("a.jpg")), false, {}, nullptr, &failure));
    EXPECT_EQ(failure.code, CopyFileError::SourceUnreadable);
    EXPECT_EQ(entries(), QStringList({QStringLiteral("folder.jpg")}));
}

TEST_P(CopyPathTest, SourceCutShortDuringTheCopyIsAnError)
{
    // As a card pulled out or a file another program rewrites: the size read differs.
    write(QStringLiteral("new.jpg"), pattern(4 * kMiB));
    CopyFileFailure failure;
    const QByteArray source = QFile::encodeName(path(QStringLiteral("new.jpg")));
    EXPECT_FALSE(CopyFileReadOnlySafe(
        path(QStringLiteral("new.jpg")), path(QStringLiteral("a.jpg")), false,
        [&](qint64 copied, qint64) {
            if (copied == kMiB) {
                ASSERT_EQ(::truncate(source.constData(), kMiB + 10), 0);
            }
        },
        nullptr, options(), &failure));
    EXPECT_EQ(failure.code, CopyFileError::SourceUnreadable);
    EXPECT_EQ(entries(), QStringList({QStringLiteral("new.jpg")}));
}

TEST_F(CopyFileTest, FolderAtTheDestinationIsNotReplaced)
{
    write(QStringLiteral("new.jpg"), "x");
    ASSERT_TRUE(QDir(mDir.path()).mkdir(QStringLiteral("a.jpg")));
    CopyFileFailure failure;
    EXPECT_FALSE(CopyFileReadOnlySafe(path(QStringLiteral("new.jpg")),
                                      path(QStringLiteral("a.jpg")), false, {}, nullptr, &failure));
    EXPECT_EQ(failure.systemError, EISDIR);
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("a.jpg"))).isDir());
    EXPECT_EQ(entries(), QStringList({QStringLiteral("a.jpg"), QStringLiteral("new.jpg")}));
}

// A nearly full file system: the child may write files of at most 1 MiB. It reports the
// failure's code, errno and text through a pipe.
TEST_P(CopyPathTest, FullDiskIsAnErrorWithTheSystemsTextAndKeepsTheOldFile)
{
    write(QStringLiteral("new.jpg"), pattern(4 * kMiB));
    write(QStringLiteral("a.jpg"), "old photo");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kMiB, kMiB};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        CopyFileFailure failure;
        const bool ok =
            CopyFileReadOnlySafe(path(QStringLiteral("new.jpg")), path(QStringLiteral("a.jpg")),
                                 false, {}, nullptr, options(), &failure);
        const QByteArray report =
            QByteArray::number(ok) + '\n' + QByteArray::number(int(failure.code)) + '\n' +
            QByteArray::number(failure.systemError) + '\n' + failure.text.toUtf8();
        const ssize_t written = ::write(fds[1], report.constData(), size_t(report.size()));
        ::_exit(written == report.size() ? 0 : 1);
    }
    ::close(fds[1]);
    QByteArray report;
    char buffer[256];
    for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, got);
    ::close(fds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const QList<QByteArray> lines = report.split('\n');
    ASSERT_EQ(lines.size(), 4) << report.toStdString();
    EXPECT_EQ(lines[0], "0");
    EXPECT_EQ(lines[1].toInt(), int(CopyFileError::DiskFull));
    EXPECT_EQ(lines[2].toInt(), EFBIG);
    EXPECT_EQ(lines[3], QByteArray(std::strerror(EFBIG)));
    EXPECT_EQ(read(QStringLiteral("a.jpg")), QByteArray("old photo"));
    EXPECT_EQ(entries(), QStringList({QStringLiteral("a.jpg"), QStringLiteral("new.jpg")}));
}

// Staged now and named later on another thread, as the copy worker does: the rules for the
// destination hold for whatever is there at the rename.
struct LateCase
{
    const char* name;
    const char* appears; // what another program puts there meanwhile; null: nothing
    mode_t mode;
    bool failIfExists;
    CopyFileError error; // None: the copy got the name
};

class StagedCopyTest : public CopyFileTest, public ::testing::WithParamInterface<LateCase>
{};

TEST_P(StagedCopyTest, RulesHoldAtTheRename)
{
    const LateCase& c = GetParam();
    const QString destination = QString::fromLatin1(c.appears ? c.appears : "a.jpg");
    write(QStringLiteral("new.jpg"), pattern(2 * kMiB + 3, 5), 0444);
    StagedCopy copy;
    ASSERT_TRUE(
        copy.stage(path(QStringLiteral("new.jpg")), path(destination), c.failIfExists, {}, nullptr))
        << copy.failure().text.toStdString();
    if (c.appears)
        write(destination, "another program's file", c.mode);

    bool committed = false;
    std::thread([&] { committed = copy.commit(nullptr); }).join();
    EXPECT_TRUE(flushFolder(mDir.path()));

    EXPECT_EQ(committed, c.error == CopyFileError::None);
    EXPECT_EQ(copy.failure().code, c.error);
    EXPECT_EQ(read(destination),
              committed ? pattern(2 * kMiB + 3, 5) : QByteArray("another program's file"));
    EXPECT_EQ(mode(destination), committed ? mode_t(0644) : c.mode);
    QStringList expected = {QStringLiteral("new.jpg"), destination};
    expected.sort();
    EXPECT_EQ(entries(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Destinations, StagedCopyTest,
    ::testing::Values(LateCase{"NothingThere", nullptr, 0, true, CopyFileError::None},
                      LateCase{"AppearedFailIfExists", "a.jpg", 0644, true, CopyFileError::Exists},
                      LateCase{"AppearedReplaced", "a.jpg", 0644, false, CopyFileError::None},
                      LateCase{"HiddenReadOnlyAppeared", ".a.jpg", 0444, false,
                               CopyFileError::AccessDenied}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CopyFileTest, StagedCopyNeverCommittedLeavesNothing)
{
    write(QStringLiteral("new.jpg"), pattern(kMiB));
    {
        StagedCopy copy;
        ASSERT_TRUE(copy.stage(path(QStringLiteral("new.jpg")), path(QStringLiteral("a.jpg")), true,
                               {}, nullptr));
        EXPECT_EQ(entries().size(), 2) << "the temporary file";
        StagedCopy moved = std::move(copy);
        moved.discard();
        EXPECT_FALSE(moved.commit(nullptr));
        ASSERT_TRUE(moved.stage(path(QStringLiteral("new.jpg")), path(QStringLiteral("a.jpg")),
                                true, {}, nullptr));
    }
    EXPECT_EQ(entries(), QStringList({QStringLiteral("new.jpg")}));
}

} // namespace

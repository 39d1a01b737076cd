#include "NumberedPicture.h"

#include "CopyFileReadOnlySafe.h"
#include "ShellChangeNotifier.h"
#include "WriteAll.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace acquire {

namespace {

const QLatin1String kPrefix("KVF");
const QLatin1String kSuffix(".jpg");
constexpr quint32 kShellItemCreated = 2;
// Enough to pass any run of names that appeared meanwhile, never an endless loop.
constexpr int kMaxNameAttempts = 10000;

int numberOf(const QString& name)
{
    if (!name.startsWith(kPrefix) || !name.endsWith(kSuffix) ||
        name.size() < kPrefix.size() + kSuffix.size())
        return 0;
    const QStringView digits =
        QStringView(name).mid(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
    bool ok = false;
    const int value = digits.toInt(&ok);
    // toInt takes a sign and spaces; only plain digits are a number here.
    for (const QChar c : digits)
        if (!c.isDigit() || c.unicode() > '9')
            return 0;
    return ok ? value : 0;
}

} // namespace

int nextPictureNumber(const QStringList& fileNames)
{
    int largest = 0;
    for (const QString& name : fileNames)
        largest = std::max(largest, numberOf(name));
    return largest == INT_MAX ? INT_MAX : largest + 1;
}

int nextPictureNumberIn(const QString& folder)
{
    return nextPictureNumber(QDir(folder).entryList({kPrefix + QLatin1String("*") + kSuffix},
                                                    QDir::Files | QDir::Hidden));
}

QString pictureFileName(int number, int minDigits)
{
    return kPrefix + QStringLiteral("%1").arg(number, minDigits, 10, QLatin1Char('0')) + kSuffix;
}

SavedPicture saveNumberedPicture(const QString& folder, const QByteArray& bytes, int number,
                                 int minDigits)
{
    SavedPicture result;
    const QByteArray dir = QFile::encodeName(QDir::cleanPath(folder));
    QByteArray temporary = dir + "/.KVF-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    int error = writeAll(fd, bytes);
    if (!error && ::fchmod(fd, 0644) != 0)
        error = errno;
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;

    for (int attempt = 0; !error && attempt < kMaxNameAttempts; ++attempt, ++number) {
        const QByteArray target = dir + '/' + QFile::encodeName(pictureFileName(number, minDigits));
        if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0) {
            flushFolder(QFile::decodeName(dir));
            result.path = QFile::decodeName(target);
            result.number = number;
            ShellChangeNotifier::instance().announcePath(kShellItemCreated, target);
            return result;
        }
        if (errno != EEXIST)
            error = errno;
    }
    ::unlink(temporary.constData());
    result.error = error ? error : EEXIST;
    return result;
}

} // namespace acquire

#include "DeletePhotos.h"

#include "ProgramVersion.h"
#include "ShellChangeNotifier.h"
#include "TVelkoImageScroller.h"
#include "WaitCursor.h"
#include "WizardPageWidgets.h"
#include "uLanguage.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

enum : unsigned
{
    TextYes = 5,
    TextNo = 6,
    TextNoPhotosSelected = 114,
    TextConfirmDelete = 115,
    TextNotDeleted = 116,
};

constexpr int kPasses = 2;

bool confirmDelete(QWidget* window)
{
    QMessageBox box(QMessageBox::Question, QLatin1String(kApplicationTitle),
                    GetText(TextConfirmDelete), QMessageBox::NoButton, window);
    box.setObjectName(QStringLiteral("ConfirmDelete"));
    QPushButton* yes = box.addButton(GetText(TextYes), QMessageBox::YesRole);
    box.setDefaultButton(box.addButton(GetText(TextNo), QMessageBox::NoRole));
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace

bool deletePhotoFile(const QString& path, QString* reason)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status = {};
    // lstat: a link is deleted as itself, whatever it points at.
    if (::lstat(name.constData(), &status) != 0) {
        if (errno == ENOENT)
            return true;
    } else if ((status.st_mode & S_IWUSR) == 0) {
        errno = EACCES;
    } else if (::unlink(name.constData()) == 0 || errno == ENOENT) {
        return true;
    }
    if (reason)
        *reason = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

DeletePhotos::DeletePhotos(QStringList paths, QObject* parent)
    : QObject(parent), mPaths(std::move(paths))
{
    mRetry.setSingleShot(true);
    mRetry.setInterval(kRetryDelayMs);
    mRetry.setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5 % early
    connect(&mRetry, &QTimer::timeout, this, &DeletePhotos::pass);
}

void DeletePhotos::start()
{
    pass();
}

void DeletePhotos::pass()
{
    ++mPass;
    QStringList failed;
    {
        WaitCursor wait;
        for (const QString& path : std::as_const(mPaths)) {
            if (deletePhotoFile(path))
                ShellChangeNotifier::instance().announcePath(ShcneDelete, QFile::encodeName(path));
            else
                failed << path;
        }
    }
    mPaths = failed;
    if (!mPaths.isEmpty() && mPass < kPasses) {
        mRetry.start();
        return;
    }
    QStringList names;
    for (const QString& path : std::as_const(mPaths))
        names << QFileInfo(path).fileName();
    emit finished(names);
}

void DeletePhotos::run(QWidget* window, const TVelkoImageScroller& grid)
{
    // Paths, not the grid's photos: the grid drops a photo as soon as its deletion arrives.
    QStringList paths;
    for (const auto& photo : grid.GetSelectedPhotos())
        paths << photo->path();
    if (paths.isEmpty()) {
        wizardpage::showMessage(window, QMessageBox::Information, GetText(TextNoPhotosSelected),
                                "NoPhotosSelected");
        return;
    }
    if (!confirmDelete(window))
        return;
    auto* run = new DeletePhotos(std::move(paths), window);
    connect(run, &DeletePhotos::finished, window, [window, run](const QStringList& failedNames) {
        run->deleteLater();
        if (failedNames.isEmpty())
            return;
        QString text = GetText(TextNotDeleted) + QStringLiteral("\n\n");
        for (const QString& name : failedNames)
            text += name + QLatin1Char('\n');
        wizardpage::showMessage(window, QMessageBox::Information, text, "PhotosNotDeleted");
    });
    run->start();
}

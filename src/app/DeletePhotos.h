// The Delete command: the selected photos deleted for good after the user agrees, a second
// try a second later for the ones that would not go, and the names of those that stayed.
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

class QWidget;
class TVelkoImageScroller;

// Deletes one photo file for good. A file without owner write permission is refused, as the
// system refuses it to a normal user, also when the program runs as root. A file that is
// already gone counts as deleted. False with the reason otherwise.
bool deletePhotoFile(const QString& path, QString* reason = nullptr);

// One run of the command over a list of paths: a first pass at once, a second over the
// failures after kRetryDelayMs while the window stays live, then finished(). Each deleted
// file is announced to the shell, so grids showing it drop the photo.
class DeletePhotos : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRetryDelayMs = 1000;

    DeletePhotos(QStringList paths, QObject* parent);
    void start();

    // btnDeleteClick: asks, then deletes the grid's selected photos; the messages and the
    // run belong to the window.
    static void run(QWidget* window, const TVelkoImageScroller& grid);

signals:
    // The file names, without folder, of the photos that could not be deleted.
    void finished(const QStringList& failedNames);

private:
    void pass();

    QStringList mPaths;
    int mPass = 0;
    QTimer mRetry;
};

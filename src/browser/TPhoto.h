// One photo of a thumbnail grid.
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QtGlobal>

#include <functional>

// What a file looked like when its thumbnail was made; a change asks for a new one.
struct FileStamp
{
    qint64 modifiedNs = -1;
    qint64 size = -1;

    bool isValid() const { return size >= 0; }
    bool operator==(const FileStamp&) const = default;
};

// The file's stamp now; an invalid one when it cannot be read.
FileStamp fileStampOf(const QString& path);

// A photo file shown in a grid: its path, the caption under the thumbnail, the check mark
// and the thumbnail once made. The thumbnail is kept as JPEG bytes (a few KB); the grid
// decodes only the ones it shows.
class TPhoto
{
public:
    explicit TPhoto(QString path = {});

    // Unique in the process and never reused, so caches can key on it safely.
    quint64 serial() const { return mSerial; }

    const QString& path() const { return mPath; }
    void setPath(const QString& path) { mPath = path; }
    const QString& caption() const { return mCaption; }
    void setCaption(const QString& caption) { mCaption = caption; }
    bool selected() const { return mSelected; }
    void setSelected(bool selected) { mSelected = selected; }

    // JPEG bytes, empty when there is no picture.
    const QByteArray& thumbnail() const { return mThumbnail; }
    QSize thumbnailSize() const { return mThumbnailSize; }
    void setThumbnail(const QByteArray& jpeg, QSize size);
    // True once a thumbnail attempt has finished, with or without a picture; false asks the
    // thumbnail worker to (re)make it.
    bool thumbnailDone() const { return mThumbnailDone; }
    void setThumbnailDone(bool done) { mThumbnailDone = done; }
    // The file as it was when the thumbnail was made.
    const FileStamp& fileStamp() const { return mFileStamp; }
    void setFileStamp(const FileStamp& stamp) { mFileStamp = stamp; }

    // The thumbnail job in work for this photo, 0 when none.
    quint64 thumbnailJob() const { return mThumbnailJob; }
    void setThumbnailJob(quint64 job) { mThumbnailJob = job; }

private:
    const quint64 mSerial;
    QString mPath;
    QString mCaption;
    QByteArray mThumbnail;
    QSize mThumbnailSize;
    FileStamp mFileStamp;
    quint64 mThumbnailJob = 0;
    bool mSelected = false;
    bool mThumbnailDone = false;
};

// The photo test: a lower-cased extension of ".jpg", ".jpeg" or ".bmp".
bool isPhotoPath(const QString& path);

// The files of a folder as a scan sees them: no hidden files, no folders, in the folder's own
// order. visit gets each file's full path and whether it is a photo, and returns false to
// stop. False when the folder cannot be read.
bool listFolderFiles(const QString& folder,
                     const std::function<bool(const QString& path, bool isPhoto)>& visit);

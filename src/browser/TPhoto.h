// One photo of a thumbnail grid.
#pragma once

#include <QImage>
#include <QString>

// A photo file shown in a grid: its path, the caption under the thumbnail, the check mark
// and the thumbnail once made. Thumbnails live only in memory.
class TPhoto
{
public:
    explicit TPhoto(QString path = {}) : mPath(std::move(path)) {}

    const QString& path() const { return mPath; }
    void setPath(const QString& path) { mPath = path; }
    const QString& caption() const { return mCaption; }
    void setCaption(const QString& caption) { mCaption = caption; }
    bool selected() const { return mSelected; }
    void setSelected(bool selected) { mSelected = selected; }

    const QImage& thumbnail() const { return mThumbnail; }
    void setThumbnail(const QImage& thumbnail) { mThumbnail = thumbnail; }
    // True once a thumbnail attempt has finished, with or without a picture; false asks the
    // thumbnail worker to (re)make it.
    bool thumbnailDone() const { return mThumbnailDone; }
    void setThumbnailDone(bool done) { mThumbnailDone = done; }

private:
    QString mPath;
    QString mCaption;
    QImage mThumbnail;
    bool mSelected = false;
    bool mThumbnailDone = false;
};

// The photo test: a lower-cased extension of ".jpg", ".jpeg" or ".bmp".
bool isPhotoPath(const QString& path);

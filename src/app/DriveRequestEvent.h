#pragma once

#include <QEvent>
#include <QString>

// The drive request, posted to the application object as its own message number.
inline constexpr int WM_DRIVE_REQUEST = 2024; // WM_USER + 1000

class DriveRequestEvent : public QEvent
{
public:
    DriveRequestEvent(QString drivePath, bool fromSecondCopy)
        : QEvent(QEvent::Type(WM_DRIVE_REQUEST)), mDrivePath(std::move(drivePath)),
          mFromSecondCopy(fromSecondCopy)
    {}

    const QString& drivePath() const { return mDrivePath; }
    bool fromSecondCopy() const { return mFromSecondCopy; }

private:
    QString mDrivePath;
    bool mFromSecondCopy;
};

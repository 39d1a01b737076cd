#pragma once

#include <QElapsedTimer>
#include <QPixmap>
#include <QWidget>

#include <memory>

class WaitCursor;

// The start-up picture: borderless, on top, centred, 500 x 373. It stays up for at least
// its minimum time, however quickly the program gets ready behind it.
class TfrmSplash : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmSplash(QWidget* parent = nullptr);
    ~TfrmSplash() override;

    void open(int minimumSeconds);
    // Waits out the minimum time (keeping the picture painted), then hides.
    void closeSplash();

    qint64 elapsedMs() const { return mShown.isValid() ? mShown.elapsed() : 0; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap mPicture;
    QElapsedTimer mShown;
    int mMinimumMs = 0;
    std::unique_ptr<WaitCursor> mStartingCursor;
};

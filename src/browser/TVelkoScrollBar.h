// A custom-drawn scroll bar: a 1-px frame, optional arrow buttons at both ends and a track
// with a thumb. With arrows it scrolls the print preview's pictures; flat and without
// arrows it is the colour dialog's slider.
#pragma once

#include "ScrollThumbGeometry.h"
#include "TVelkoScrollTimerThread.h"

#include <QColor>
#include <QWidget>

#include <array>
#include <chrono>
#include <memory>
#include <vector>

class TVelkoScrollPanel;

class TVelkoScrollBar : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor Color READ color WRITE setColor)
    Q_PROPERTY(QColor BorderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(QColor ThumbColor READ thumbColor WRITE setThumbColor)
    Q_PROPERTY(QColor ThumbBorderColor READ thumbBorderColor WRITE setThumbBorderColor)
    Q_PROPERTY(QColor TriangleColor READ triangleColor WRITE setTriangleColor)

public:
    explicit TVelkoScrollBar(QWidget* parent = nullptr);
    ~TVelkoScrollBar() override;

    // Lays out arrows and track for the bar's present size, sets up the thumb for content of
    // `range` pixels, and shows the bar only when that content does not fit in its length.
    void Setup(Qt::Orientation orientation, int range, bool pageClick, bool arrows, int position);
    // 0 while the bar is hidden because everything fits.
    int GetPosition() const;

    QColor color() const { return mColor; }
    void setColor(const QColor& color);
    QColor borderColor() const { return mBorderColor; }
    void setBorderColor(const QColor& color);
    QColor thumbColor() const { return mThumbColor; }
    void setThumbColor(const QColor& color);
    QColor thumbBorderColor() const { return mThumbBorderColor; }
    void setThumbBorderColor(const QColor& color);
    QColor triangleColor() const { return mTriangleColor; }
    void setTriangleColor(const QColor& color);

    Qt::Orientation orientation() const { return mOrientation; }
    const scroll::BarLayout& barLayout() const { return mLayout; }
    TVelkoScrollPanel* track() const { return mTrack; }
    // How often a held arrow repeats; tests make it short.
    void setRepeatInterval(std::chrono::milliseconds interval) { mRepeatInterval = interval; }
    bool repeating() const { return mRepeatThread != nullptr; }

signals:
    // OnPositionChanged: the thumb was dragged, the track clicked, an arrow repeated, or the
    // bar set up.
    void positionChanged(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum Arrow
    {
        FirstArrow,
        SecondArrow
    };
    struct ArrowState
    {
        bool pressed = false;
        bool left = false; // the pointer left it with the button still down
    };

    void layOut(int position);
    QRect arrowRect(int arrow) const;
    void paintArrow(QPainter& painter, int arrow) const;
    void startRepeat(int arrow);
    void stopRepeat();
    void releaseArrows();
    qintptr handleRepeat(const WindowMessage& message, quint64 serial);

    TVelkoScrollPanel* mTrack = nullptr;
    scroll::BarLayout mLayout;
    QSize mLaidOutSize;
    Qt::Orientation mOrientation = Qt::Vertical;
    bool mSetUp = false;
    int mRange = 0;
    bool mPageClick = false;
    bool mArrowsWanted = false;
    std::array<ArrowState, 2> mArrows{};

    int mRepeatStep = 10;
    std::chrono::milliseconds mRepeatInterval = TVelkoScrollTimerThread::kInterval;
    std::unique_ptr<TVelkoScrollTimerThread> mRepeatThread;
    // Serial of the running repeat: a message a stopped thread had already sent is ignored.
    quint64 mRepeatSerial = 0;
    // Asked to end but perhaps not ended yet; freed once they have.
    std::vector<std::unique_ptr<TVelkoScrollTimerThread>> mEndingThreads;

    QColor mColor = Qt::white;
    QColor mBorderColor = Qt::black;
    QColor mThumbColor = QColor(0, 0, 128);
    QColor mThumbBorderColor = QColor(255, 0, 0);
    QColor mTriangleColor = Qt::black;
};

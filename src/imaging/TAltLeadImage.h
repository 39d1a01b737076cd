// The image control of the edit frame and the rotate and colour dialogs: shows a picture
// handed over as BMP bytes and lets the user drag a selection frame over it, or shows a
// frame the program placed.
#pragma once

#include "SelectionFrame.h"

#include <QByteArray>
#include <QImage>
#include <QWidget>

class TAltLeadImage : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool AllowRgn READ AllowRgn WRITE setAllowRgn)

public:
    explicit TAltLeadImage(QWidget* parent = nullptr);

    bool AllowRgn() const { return mAllowRgn; }
    void setAllowRgn(bool allow) { mAllowRgn = allow; }

    // Shows the first byteSize bytes of memory decoded as a Windows bitmap. An empty memory
    // block (a handle that cannot be locked) changes nothing; bytes that do not decode leave
    // the control cleared.
    void LoadFromGlobal(const QByteArray& memory, qsizetype byteSize);
    // No frame, no picture, shown size 0 × 0.
    void Clear();

    // Only with AllowRgn.
    void SetFrame(int left, int top, int width, int height);
    bool HasFrame() const { return mFrame.hasFrame(); }
    int FrameLeft() const { return mFrame.frameLeft(); }
    int FrameTop() const { return mFrame.frameTop(); }
    int FrameWidth() const { return mFrame.frameWidth(); }
    int FrameHeight() const { return mFrame.frameHeight(); }

    int shownWidth() const { return mShownWidth; }
    int shownHeight() const { return mShownHeight; }
    const QImage& picture() const { return mPicture; }

    QSize sizeHint() const override;

signals:
    // The frame appeared, moved or went away.
    void frameChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void frameUpdated(bool changed);

    QImage mPicture;
    int mShownWidth = 0;
    int mShownHeight = 0;
    imaging::SelectionFrame mFrame;
    bool mAllowRgn = false;
};

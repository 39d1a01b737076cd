// The track of the custom scroll bar: the thumb that is dragged along it, and the click that
// makes the thumb jump to the pointer.
#pragma once

#include "ScrollThumbGeometry.h"

#include <QColor>
#include <QWidget>

class TVelkoScrollPanel : public QWidget
{
    Q_OBJECT

public:
    explicit TVelkoScrollPanel(QWidget* parent = nullptr);

    // Sets up the thumb for content of `range` pixels of which `view` show; a track on which
    // it all fits is disabled. pageClick lets a click beside the thumb move it there; arrows
    // chooses the raised thumb frame of a bar with arrow buttons.
    void setUp(Qt::Orientation orientation, int range, int view, int position, bool pageClick,
               bool arrows);

    bool trackEnabled() const { return mGeometry.enabled(); }
    int position() const { return mGeometry.position(); }
    const scroll::ThumbGeometry& thumb() const { return mGeometry; }
    // Moves the thumb by a number of pixels, as an arrow does.
    void moveThumbBy(int delta);

    void setColor(const QColor& color) { changeLook(mColor, color); }
    void setThumbColor(const QColor& color) { changeLook(mThumbColor, color); }
    void setThumbBorderColor(const QColor& color) { changeLook(mThumbBorderColor, color); }

signals:
    void changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void changeLook(QColor& member, const QColor& value);
    int along(const QPointF& point) const;
    QRect thumbRect() const;
    void thumbMoved(bool moved);

    scroll::ThumbGeometry mGeometry;
    Qt::Orientation mOrientation = Qt::Vertical;
    bool mPageClick = false;
    bool mArrows = false;
    bool mDragging = false;
    int mPressPoint = 0;
    int mThumbOrigin = 0;
    // Where a click beside the thumb should put it; −1 when none.
    int mTargetBefore = -1;
    int mTargetAfter = -1;

    QColor mColor = Qt::white;
    QColor mThumbColor = QColor(0, 0, 128);
    QColor mThumbBorderColor = QColor(255, 0, 0);
};

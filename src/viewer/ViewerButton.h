// One of the slideshow's small on-screen buttons: a picture that shows itself pressed while the
// mouse holds it and acts when released over it.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace viewer {

class ViewerButton : public QWidget
{
    Q_OBJECT
public:
    enum class Glyph
    {
        Close,
        Play,
        Pause,
        Previous,
        Next
    };

    // 16 × 14, the buttons' size.
    static constexpr QSize kSize{16, 14};

    explicit ViewerButton(Glyph glyph, QWidget* parent = nullptr);

    Glyph glyph() const { return mGlyph; }
    void setGlyph(Glyph glyph);
    // True while the pressed picture is shown.
    bool showsPressed() const { return mPressed && mInside; }

    // The button's artwork, drawn at the screen's pixel ratio so that it stays sharp.
    static QPixmap picture(Glyph glyph, bool pressed, qreal devicePixelRatio);

    QSize sizeHint() const override { return kSize; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void setInside(bool inside);

    Glyph mGlyph;
    bool mPressed = false;
    bool mInside = false;
};

} // namespace viewer

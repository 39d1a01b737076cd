// The viewer: the selected photos one at a time, fitted to the window, either in a window with
// a thumbnail strip or as a full-screen slideshow that advances by itself.
#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

class TfrmViewer : public QDialog
{
    Q_OBJECT
public:
    enum class Mode
    {
        View,
        Slideshow
    };

    explicit TfrmViewer(QWidget* parent = nullptr);
    ~TfrmViewer() override;

    // Chosen before the photos are handed over and the window is shown.
    void setMode(Mode mode);
    Mode mode() const;
    // How long a slide stays on screen once shown, in milliseconds.
    void setSlideInterval(int milliseconds);
    int slideInterval() const;
    // Whether a running slideshow loads the next slide while the current one is shown, so that
    // a step shows it at once. On by default.
    void setPrepareAhead(bool prepareAhead);
    // Whether the shown slideshow keeps the screen awake (on by default); off for a show that
    // nobody watches, such as a test's or a benchmark's.
    void setInhibitScreenSaver(bool inhibit);

    // Hands over the photos' full paths, in the order they are shown.
    void setPhotoFiles(const QStringList& paths);
    const QStringList& photoFiles() const;

    // Shows the photo at that position of the list; nothing happens outside the list.
    void showPhoto(int index);
    // The slideshow's step to the next photo, after the last the first (the slide timer's).
    void slideStep();
    // The slideshow's commands, as its keys and buttons give them.
    void playPause();
    void nextPhoto();
    void previousPhoto();

    // The photo shown or being loaded, -1 before the first.
    int currentIndex() const;
    // True while the photo being shown still loads.
    bool isLoading() const;
    bool isPaused() const;
    // True when the next slide step's picture is ready and will be shown at once.
    bool isNextPrepared() const;

    // Shows the window modally (the slideshow covering the screen) until it is closed.
    int exec() override;

signals:
    // A photo's picture has been placed and shown; an unreadable file is reported too, with
    // an empty picture area. Emitted from slideStep() itself when the picture was prepared.
    void pictureShown(int index);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Private;
    const std::unique_ptr<Private> d;
};

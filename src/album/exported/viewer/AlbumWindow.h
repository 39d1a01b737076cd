// The window of the viewer program in its three modes: the photo viewer with its thumbnail
// strip, the full-screen slideshow, and the screensaver drawing into a window it is handed.
#pragma once

#include "AlbumPictures.h"
#include "X11Canvas.h"

#include <X11/Xlib.h>

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace exported {

enum class ShowMode
{
    Viewer,
    Slideshow,
    Screensaver
};

class AlbumWindow
{
public:
    // target: the screensaver's window (none for the root window); unused in the other modes.
    AlbumWindow(Display* display, AlbumPictures& pictures, ShowMode mode,
                std::optional<Window> target);
    ~AlbumWindow();
    AlbumWindow(const AlbumWindow&) = delete;
    AlbumWindow& operator=(const AlbumWindow&) = delete;

    // Runs until the user ends it, stopFd becomes readable (a signal) or the screensaver's
    // window goes away. Writes one line to firstPictureFd (when >= 0) once the first picture is
    // on screen. A photo that cannot be decoded gets a placeholder; a file that can no longer be
    // read ends it with album::ContainerError.
    void run(int stopFd, int firstPictureFd);

private:
    using Clock = std::chrono::steady_clock;

    void createOwnWindow();
    void handle(const XEvent& event);
    void handleKey(const XKeyEvent& event);
    void handleButton(const XButtonEvent& event);
    bool idleWork();
    void onTimers();
    std::optional<Clock::time_point> nextDeadline() const;

    void show(int index);
    void step(int delta);
    void restartSlideTimer();
    void togglePause();

    struct PictureBox
    {
        int width;
        int height;
    };
    PictureBox pictureBox() const;
    void render();
    void present();
    void renderViewer();
    void renderShow();
    // The current photo fitted into the box, or a placeholder centred on (centreX, centreY).
    void renderCurrent(PictureBox box, int centreX, int centreY);
    void renderPlaceholder(PictureBox box, int centreX, int centreY);
    void renderStrip(int height);
    void renderLegend();
    void renderPaused();
    void renderInformation();
    void scrollStripTo(int index);
    int stripContentHeight() const;
    int stripHeight() const;

    Display* mDisplay;
    AlbumPictures& mPictures;
    ShowMode mMode;
    Window mWindow = 0;
    bool mOwnWindow = true;
    Atom mDeleteWindow = 0;
    std::unique_ptr<Canvas> mCanvas;
    std::unique_ptr<TextFont> mFont;
    std::unique_ptr<TextFont> mBoldFont;
    std::unique_ptr<TextFont> mHeadingFont;

    int mCurrent = 0;
    int mStripOffset = 0;
    bool mPaused = false;
    bool mShowInformation = false;
    bool mPlaceholderShown = false;
    std::set<int> mReportedDamage;
    std::optional<Clock::time_point> mNextSlide;
    std::optional<Clock::time_point> mLegendUntil;

    int mPrefetched = 0; // the photo decoded ahead; the first one is shown, not prefetched
    int mFirstPictureFd = -1;
    bool mViewable = false;
    bool mNeedsRender = true;
    bool mRendered = false;
    bool mPresented = false;
    bool mQuit = false;
};

} // namespace exported

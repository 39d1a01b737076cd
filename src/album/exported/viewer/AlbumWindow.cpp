#include "AlbumWindow.h"

#include "ProgramVersionArea.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace exported {

namespace {

constexpr auto kSlideInterval = std::chrono::seconds(5);
constexpr auto kLegendTime = std::chrono::seconds(2);

// The viewer's layout.
constexpr int kStripWidth = 144;
constexpr int kCellSize = 106; // a 90-pixel thumbnail with its frame
constexpr int kCellGap = 10;
constexpr int kCellPitch = kCellSize + kCellGap;
constexpr int kCellX = (kStripWidth - kCellSize) / 2;
constexpr int kStatusHeight = 30;
constexpr int kPictureMargin = 32;
constexpr int kThumbnailsPerStep = 6;

constexpr std::uint32_t kBackground = 0x111111;
constexpr std::uint32_t kStripBackground = 0x1b1b1b;
constexpr std::uint32_t kSeparator = 0x2c2c2c;
constexpr std::uint32_t kCell = 0x262626;
constexpr std::uint32_t kPlaceholder = 0x333333;
constexpr std::uint32_t kDamagedPhoto = 0x404040;
constexpr std::uint32_t kAccent = 0xd9482b;
constexpr std::uint32_t kScrollMark = 0x5a5a5a;
constexpr std::uint32_t kPanel = 0x262626;
constexpr std::uint32_t kPanelBorder = 0x4a4a4a;
constexpr std::uint32_t kText = 0xf0f0f0;
constexpr std::uint32_t kQuietText = 0xa8a8a8;

// The window a screensaver draws in; a BadWindow or BadDrawable on it means it went away.
Window gTarget = 0;
bool gTargetGone = false;

int onXError(Display*, XErrorEvent* error)
{
    if (gTarget != 0 && error->resourceid == gTarget &&
        (error->error_code == BadWindow || error->error_code == BadDrawable))
        gTargetGone = true;
    // Anything else (a focus request before the window is viewable, say) is harmless here.
    return 0;
}

Cursor blankCursor(Display* display, Window window)
{
    char bits[1] = {0};
    const Pixmap empty = XCreateBitmapFromData(display, window, bits, 1, 1);
    XColor black{};
    const Cursor cursor = XCreatePixmapCursor(display, empty, empty, &black, &black, 0, 0);
    XFreePixmap(display, empty);
    return cursor;
}

std::string field(const album::VersionFields& fields, std::string_view key)
{
    for (const auto& [name, value] : fields)
        if (name == key)
            return value;
    return {};
}

// Greedy word wrap; a word wider than the line is cut with "...".
std::vector<std::string> wrapped(const TextFont& font, const std::string& text, int width)
{
    std::vector<std::string> lines;
    std::string line;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find_first_of(" \n", at);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(at, end - at);
        const std::string candidate = line.empty() ? word : line + ' ' + word;
        if (!line.empty() && font.width(candidate) > width) {
            lines.push_back(line);
            line = font.elided(word, width);
        } else {
            line = font.elided(candidate, width);
        }
        if (end < text.size() && text[end] == '\n') {
            lines.push_back(line);
            line.clear();
        }
        at = end + 1;
    }
    if (!line.empty() || lines.empty())
        lines.push_back(line);
    return lines;
}

} // namespace

AlbumWindow::AlbumWindow(Display* display, AlbumPictures& pictures, ShowMode mode,
                         std::optional<Window> target)
    : mDisplay(display), mPictures(pictures), mMode(mode)
{
    XSetErrorHandler(onXError);
    if (mode != ShowMode::Screensaver) {
        createOwnWindow();
        return;
    }
    mOwnWindow = false;
    mViewable = true;
    mWindow = target.value_or(RootWindow(display, DefaultScreen(display)));
    gTarget = mWindow;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, mWindow, &attributes))
        throw std::runtime_error("There is no window " + std::to_string(mWindow) + " to draw in.");
    XSelectInput(display, mWindow, ExposureMask | StructureNotifyMask);
    mCanvas = std::make_unique<Canvas>(display, mWindow);
    mNextSlide = Clock::now() + kSlideInterval;
}

AlbumWindow::~AlbumWindow()
{
    mCanvas.reset();
    if (mOwnWindow && mWindow)
        XDestroyWindow(mDisplay, mWindow);
    gTarget = 0;
}

void AlbumWindow::createOwnWindow()
{
    const int screen = DefaultScreen(mDisplay);
    const int screenWidth = DisplayWidth(mDisplay, screen);
    const int screenHeight = DisplayHeight(mDisplay, screen);
    int x = 0, y = 0, width = screenWidth, height = screenHeight;
    if (mMode == ShowMode::Viewer) {
        width = screenWidth * 85 / 100;
        height = screenHeight * 85 / 100;
        x = (screenWidth - width) / 2;
        y = (screenHeight - height) / 2;
    }
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(mDisplay, screen);
    attributes.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | StructureNotifyMask;
    mWindow = XCreateWindow(mDisplay, RootWindow(mDisplay, screen), x, y, unsigned(width),
                            unsigned(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                            CWBackPixel | CWEventMask, &attributes);

    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PPosition | PSize | PMinSize;
    hints->x = x;
    hints->y = y;
    hints->width = width;
    hints->height = height;
    hints->min_width = 400;
    hints->min_height = 300;
    XClassHint* classHint = XAllocClassHint();
    classHint->res_name = const_cast<char*>("velko-album");
    classHint->res_class = const_cast<char*>("VelkoAlbum");
    XWMHints* wmHints = XAllocWMHints();
    wmHints->flags = InputHint | StateHint;
    wmHints->input = True;
    wmHints->initial_state = NormalState;
    XSetWMProperties(mDisplay, mWindow, nullptr, nullptr, nullptr, 0, hints, wmHints, classHint);
    XFree(hints);
    XFree(classHint);
    XFree(wmHints);
    setWindowTitle(mDisplay, mWindow,
                   mPictures.title().empty() ? std::string("Photo album") : mPictures.title());
    mDeleteWindow = XInternAtom(mDisplay, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(mDisplay, mWindow, &mDeleteWindow, 1);
    const long pid = getpid();
    XChangeProperty(mDisplay, mWindow, XInternAtom(mDisplay, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);

    if (mMode == ShowMode::Slideshow) {
        Atom fullScreen = XInternAtom(mDisplay, "_NET_WM_STATE_FULLSCREEN", False);
        XChangeProperty(mDisplay, mWindow, XInternAtom(mDisplay, "_NET_WM_STATE", False), XA_ATOM,
                        32, PropModeReplace, reinterpret_cast<const unsigned char*>(&fullScreen),
                        1);
        mNextSlide = Clock::now() + kSlideInterval;
    }
    mCanvas = std::make_unique<Canvas>(mDisplay, mWindow);
    XMapRaised(mDisplay, mWindow);
    XFlush(mDisplay);
}

void AlbumWindow::run(int stopFd, int firstPictureFd)
{
    mFirstPictureFd = firstPictureFd;
    while (!mQuit && !gTargetGone) {
        while (!mQuit && XPending(mDisplay)) {
            XEvent event;
            XNextEvent(mDisplay, &event);
            handle(event);
        }
        if (mQuit || gTargetGone)
            break;
        onTimers();
        // The picture first, so that it is decoded while the server maps the window.
        if (mNeedsRender) {
            render();
            continue;
        }
        if (idleWork())
            continue;
        XFlush(mDisplay);

        int timeout = -1;
        if (const auto deadline = nextDeadline()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
            timeout = int(std::clamp<long long>(left, 0, 60'000));
        }
        pollfd fds[2] = {{ConnectionNumber(mDisplay), POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready = poll(fds, stopFd >= 0 ? 2 : 1, timeout);
        if (ready < 0 && errno != EINTR)
            throw std::runtime_error("Waiting for the display failed.");
        if (stopFd >= 0 && (fds[1].revents & POLLIN))
            break;
    }
}

void AlbumWindow::handle(const XEvent& event)
{
    switch (event.type) {
    case Expose:
        if (event.xexpose.window == mWindow && event.xexpose.count == 0) {
            mViewable = true;
            if (mRendered)
                present();
        }
        break;
    case MapNotify:
        if (event.xmap.window == mWindow && mMode == ShowMode::Slideshow)
            XSetInputFocus(mDisplay, mWindow, RevertToParent, CurrentTime);
        break;
    case ConfigureNotify:
        if (event.xconfigure.window == mWindow && (event.xconfigure.width != mCanvas->width() ||
                                                   event.xconfigure.height != mCanvas->height())) {
            mCanvas->resize(event.xconfigure.width, event.xconfigure.height);
            if (mMode == ShowMode::Viewer)
                scrollStripTo(mCurrent);
            mPrefetched = -1;
            mNeedsRender = true;
        }
        break;
    case DestroyNotify:
        if (event.xdestroywindow.window == mWindow) {
            if (mOwnWindow)
                mWindow = 0;
            mQuit = true;
        }
        break;
    case ClientMessage:
        if (event.xclient.format == 32 && Atom(event.xclient.data.l[0]) == mDeleteWindow)
            mQuit = true;
        break;
    case KeyPress:
        if (mMode != ShowMode::Screensaver)
            handleKey(event.xkey);
        break;
    case ButtonPress:
        if (mMode == ShowMode::Viewer)
            handleButton(event.xbutton);
        break;
    default:
        break;
    }
}

void AlbumWindow::handleKey(const XKeyEvent& event)
{
    const KeySym key = XLookupKeysym(const_cast<XKeyEvent*>(&event), 0);
    if (IsModifierKey(key))
        return;
    if (key == XK_i) {
        mShowInformation = !mShowInformation;
        mNeedsRender = true;
        return;
    }
    if (key == XK_Escape) {
        if (mShowInformation) {
            mShowInformation = false;
            mNeedsRender = true;
        } else {
            mQuit = true;
        }
        return;
    }
    if (mMode == ShowMode::Viewer) {
        switch (key) {
        case XK_Left:
        case XK_Up:
        case XK_Prior:
        case XK_BackSpace:
            show(std::max(0, mCurrent - 1));
            break;
        case XK_Right:
        case XK_Down:
        case XK_Next:
        case XK_space:
            show(std::min(mPictures.count() - 1, mCurrent + 1));
            break;
        case XK_Home:
            show(0);
            break;
        case XK_End:
            show(mPictures.count() - 1);
            break;
        default:
            break;
        }
        return;
    }
    switch (key) {
    case XK_Right:
    case XK_space:
        step(1);
        break;
    case XK_Left:
        step(-1);
        break;
    case XK_p:
        togglePause();
        break;
    default:
        // Any other key shows which keys work.
        mLegendUntil = Clock::now() + kLegendTime;
        mNeedsRender = true;
        break;
    }
}

void AlbumWindow::handleButton(const XButtonEvent& event)
{
    const bool inStrip = event.x < kStripWidth;
    if (event.button == Button4 || event.button == Button5) {
        const int direction = event.button == Button4 ? -1 : 1;
        if (inStrip) {
            const int limit = std::max(0, stripContentHeight() - stripHeight());
            mStripOffset = std::clamp(mStripOffset + direction * kCellPitch, 0, limit);
            mNeedsRender = true;
        } else {
            show(std::clamp(mCurrent + direction, 0, mPictures.count() - 1));
        }
        return;
    }
    if (event.button != Button1 || !inStrip)
        return;
    const int y = event.y + mStripOffset - kCellGap;
    if (y < 0 || y % kCellPitch >= kCellSize || event.x < kCellX || event.x >= kCellX + kCellSize)
        return;
    const int index = y / kCellPitch;
    if (index < mPictures.count())
        show(index);
}

bool AlbumWindow::idleWork()
{
    // Nothing may delay the first picture: the work waits until it is on screen. Font sets
    // cost the server many round trips, so the first frame has no text.
    if (!mPresented)
        return false;
    if (!mFont && (mMode != ShowMode::Screensaver || mPlaceholderShown)) {
        mFont = std::make_unique<TextFont>(mDisplay, 13, false);
        mBoldFont = std::make_unique<TextFont>(mDisplay, 13, true);
        mHeadingFont = std::make_unique<TextFont>(mDisplay, 17, true);
        if (mOwnWindow && mMode == ShowMode::Slideshow) {
            const Cursor cursor = blankCursor(mDisplay, mWindow);
            XDefineCursor(mDisplay, mWindow, cursor);
            XFreeCursor(mDisplay, cursor);
        }
        mNeedsRender = mMode == ShowMode::Viewer || mPaused || mLegendUntil || mShowInformation ||
                       mPlaceholderShown;
        return true;
    }
    if (mMode == ShowMode::Viewer) {
        // Thumbnails of the cells in view, a few at a time between the events.
        int decoded = 0;
        const int first = std::max(0, (mStripOffset - kCellGap) / kCellPitch);
        for (int i = first; i < mPictures.count() && decoded < kThumbnailsPerStep; ++i) {
            if (kCellGap + i * kCellPitch - mStripOffset >= stripHeight())
                break;
            if (!mPictures.hasThumbnail(i)) {
                mPictures.thumbnail(i);
                ++decoded;
            }
        }
        if (decoded > 0) {
            mNeedsRender = true;
            return true;
        }
    }
    // The photo that comes next is decoded ahead, so that a step shows it at once.
    const int next = (mCurrent + 1) % mPictures.count();
    if (next != mPrefetched) {
        mPrefetched = next;
        const PictureBox box = pictureBox();
        try {
            mPictures.picture(next, box.width, box.height);
        } catch (const std::exception&) {
            // Its placeholder, or the end for an unreadable file, comes when it is shown.
        }
        return true;
    }
    return false;
}

void AlbumWindow::onTimers()
{
    const auto now = Clock::now();
    if (mLegendUntil && now >= *mLegendUntil) {
        mLegendUntil.reset();
        mNeedsRender = true;
    }
    if (mNextSlide && now >= *mNextSlide)
        step(1);
}

std::optional<AlbumWindow::Clock::time_point> AlbumWindow::nextDeadline() const
{
    std::optional<Clock::time_point> deadline = mNextSlide;
    if (mLegendUntil && (!deadline || *mLegendUntil < *deadline))
        deadline = mLegendUntil;
    return deadline;
}

void AlbumWindow::show(int index)
{
    if (index == mCurrent)
        return;
    mCurrent = index;
    if (mMode == ShowMode::Viewer)
        scrollStripTo(index);
    mNeedsRender = true;
}

void AlbumWindow::step(int delta)
{
    const int count = mPictures.count();
    show(((mCurrent + delta) % count + count) % count);
    restartSlideTimer();
}

void AlbumWindow::restartSlideTimer()
{
    if (mPaused)
        mNextSlide.reset();
    else
        mNextSlide = Clock::now() + kSlideInterval;
}

void AlbumWindow::togglePause()
{
    mPaused = !mPaused;
    mNeedsRender = true;
    if (mPaused)
        mNextSlide.reset();
    else
        step(1);
}

AlbumWindow::PictureBox AlbumWindow::pictureBox() const
{
    if (mMode != ShowMode::Viewer)
        return {mCanvas->width(), mCanvas->height()};
    return {std::max(32, mCanvas->width() - kStripWidth - 2 * kPictureMargin),
            std::max(32, mCanvas->height() - kStatusHeight - 2 * kPictureMargin)};
}

void AlbumWindow::render()
{
    mNeedsRender = false;
    mPlaceholderShown = false;
    if (mMode == ShowMode::Viewer)
        renderViewer();
    else
        renderShow();
    mRendered = true;
    if (mViewable)
        present();
}

void AlbumWindow::present()
{
    mCanvas->present();
    mPresented = true;
    if (mFirstPictureFd < 0)
        return;
    XSync(mDisplay, False);
    const char line[] = "first picture drawn\n";
    [[maybe_unused]] const ssize_t written = write(mFirstPictureFd, line, sizeof line - 1);
    close(mFirstPictureFd);
    mFirstPictureFd = -1;
}

void AlbumWindow::renderViewer()
{
    Canvas& canvas = *mCanvas;
    const int width = canvas.width();
    const int height = canvas.height();
    canvas.beginFrame(kBackground);

    const int areaWidth = width - kStripWidth;
    const int areaHeight = height - kStatusHeight;
    renderCurrent(pictureBox(), kStripWidth + areaWidth / 2, areaHeight / 2);

    renderStrip(height);

    const int barTop = height - kStatusHeight;
    canvas.fill(kStripWidth, barTop, areaWidth, kStatusHeight, kStripBackground);
    canvas.fill(kStripWidth, barTop, areaWidth, 1, kSeparator);
    if (!mFont)
        return;
    const int baseline = barTop + (kStatusHeight + mFont->ascent() - mFont->descent()) / 2;
    const std::string position =
        std::to_string(mCurrent + 1) + " / " + std::to_string(mPictures.count());
    const std::string hint = "I  Information";
    const int hintWidth = mFont->width(hint);
    const int positionWidth = mBoldFont->width(position);
    const int right = width - 14;
    canvas.text(*mFont, right - hintWidth, baseline, hint, kQuietText);
    canvas.text(*mBoldFont, right - hintWidth - 28 - positionWidth, baseline, position, kText);
    const int titleRoom = areaWidth - hintWidth - positionWidth - 28 - 42;
    if (titleRoom > 40)
        canvas.text(*mBoldFont, kStripWidth + 14, baseline,
                    mBoldFont->elided(mPictures.title(), titleRoom), kText);

    if (mShowInformation)
        renderInformation();
}

void AlbumWindow::renderStrip(int height)
{
    Canvas& canvas = *mCanvas;
    canvas.fill(0, 0, kStripWidth, height, kStripBackground);
    canvas.fill(kStripWidth - 1, 0, 1, height, kSeparator);
    const int first = std::max(0, (mStripOffset - kCellGap) / kCellPitch);
    for (int i = first; i < mPictures.count(); ++i) {
        const int top = kCellGap + i * kCellPitch - mStripOffset;
        if (top >= height)
            break;
        canvas.fill(kCellX, top, kCellSize, kCellSize, kCell);
        if (mPictures.hasThumbnail(i) && !mPictures.thumbnail(i).empty()) {
            const RgbImage& thumbnail = mPictures.thumbnail(i);
            canvas.picture(thumbnail, kCellX + (kCellSize - thumbnail.width) / 2,
                           top + (kCellSize - thumbnail.height) / 2);
        } else {
            canvas.fill(kCellX + 8, top + 8 + 11, kCellSize - 16, kCellSize - 16 - 22,
                        kPlaceholder);
        }
        if (i == mCurrent)
            canvas.frame(kCellX - 3, top - 3, kCellSize + 6, kCellSize + 6, 3, kAccent);
    }
    const int content = stripContentHeight();
    if (content > height) {
        const int markHeight = std::max(24, height * height / content);
        const int markTop = (height - markHeight) * mStripOffset / (content - height);
        canvas.fill(kStripWidth - 6, markTop, 3, markHeight, kScrollMark);
    }
}

void AlbumWindow::renderShow()
{
    Canvas& canvas = *mCanvas;
    canvas.beginFrame(0x000000);
    renderCurrent(pictureBox(), canvas.width() / 2, canvas.height() / 2);
    if (mMode == ShowMode::Screensaver || !mFont)
        return;
    if (mPaused)
        renderPaused();
    if (mLegendUntil)
        renderLegend();
    if (mShowInformation)
        renderInformation();
}

void AlbumWindow::renderCurrent(PictureBox box, int centreX, int centreY)
{
    try {
        const RgbImage& picture = mPictures.picture(mCurrent, box.width, box.height);
        mCanvas->picture(picture, centreX - picture.width / 2, centreY - picture.height / 2);
    } catch (const PictureError& error) {
        // One bad photo must not end the album: the viewer stays usable and the shows go on.
        if (mReportedDamage.insert(mCurrent).second)
            std::fprintf(stderr, "%s\n", error.what());
        renderPlaceholder(box, centreX, centreY);
    }
}

void AlbumWindow::renderPlaceholder(PictureBox box, int centreX, int centreY)
{
    mPlaceholderShown = true;
    const int width = std::min(box.width, box.height * 4 / 3);
    const int height = width * 3 / 4;
    mCanvas->fill(centreX - width / 2, centreY - height / 2, width, height, kDamagedPhoto);
    // The first frame goes out before the fonts are loaded; the text follows with them.
    if (!mFont)
        return;
    const std::string text =
        mFont->elided("Photo " + std::to_string(mCurrent + 1) + " cannot be shown", width - 16);
    mCanvas->text(*mFont, centreX - mFont->width(text) / 2,
                  centreY + (mFont->ascent() - mFont->descent()) / 2, text, kQuietText);
}

void AlbumWindow::renderPaused()
{
    Canvas& canvas = *mCanvas;
    const std::string text = "Paused";
    const int width = mBoldFont->width(text) + 28;
    const int height = mBoldFont->height() + 14;
    const int x = canvas.width() - width - 16;
    canvas.fill(x, 16, width, height, kPanel);
    canvas.frame(x, 16, width, height, 1, kPanelBorder);
    canvas.text(*mBoldFont, x + 14, 16 + 7 + mBoldFont->ascent(), text, kText);
}

void AlbumWindow::renderLegend()
{
    static constexpr std::pair<std::string_view, std::string_view> kKeys[] = {
        {"Right, Space", "Next"},
        {"Left", "Previous"},
        {"P", "Pause / Play"},
        {"I", "Information"},
        {"Esc", "Close"}};
    Canvas& canvas = *mCanvas;
    int keyWidth = 0, actionWidth = 0;
    for (const auto& [key, action] : kKeys) {
        keyWidth = std::max(keyWidth, mBoldFont->width(key));
        actionWidth = std::max(actionWidth, mFont->width(action));
    }
    const int line = mFont->height() + 6;
    const int width = keyWidth + actionWidth + 18 + 2 * 16;
    const int height = line * int(std::size(kKeys)) + 2 * 12;
    const int x = canvas.width() - width - 16;
    const int y = 16 + (mPaused ? mBoldFont->height() + 14 + 8 : 0);
    canvas.fill(x, y, width, height, kPanel);
    canvas.frame(x, y, width, height, 1, kPanelBorder);
    int baseline = y + 12 + mFont->ascent() + 3;
    for (const auto& [key, action] : kKeys) {
        canvas.text(*mBoldFont, x + 16, baseline, key, kText);
        canvas.text(*mFont, x + 16 + keyWidth + 18, baseline, action, kQuietText);
        baseline += line;
    }
}

void AlbumWindow::renderInformation()
{
    Canvas& canvas = *mCanvas;
    const album::VersionFields fields = programVersionFields();
    const std::pair<std::string, std::string> rows[] = {{"Title", field(fields, "FileDescription")},
                                                        {"Company", field(fields, "CompanyName")},
                                                        {"Version", field(fields, "FileVersion")},
                                                        {"Comments", field(fields, "Comments")}};

    const int width = std::min(520, canvas.width() - 40);
    const int labelWidth = 96;
    const int padding = 22;
    const int valueWidth = width - 2 * padding - labelWidth;
    const int line = mFont->height() + 5;
    std::vector<std::pair<std::string, std::vector<std::string>>> laidOut;
    int lines = 0;
    for (const auto& [label, value] : rows) {
        if (value.empty())
            continue;
        laidOut.emplace_back(label, wrapped(*mFont, value, valueWidth));
        lines += int(laidOut.back().second.size());
    }
    const std::string none = "This program carries no version information.";
    if (laidOut.empty())
        lines = 1;
    const std::string footer = "Press I or Esc to close";
    const int height =
        padding + mHeadingFont->height() + 14 + lines * line + 16 + mFont->height() + padding;
    const int x = (canvas.width() - width) / 2;
    const int y = std::max(0, (canvas.height() - height) / 2);
    canvas.fill(x, y, width, height, kPanel);
    canvas.frame(x, y, width, height, 1, kPanelBorder);
    canvas.fill(x + 1, y + 1, width - 2, 3, kAccent);

    int baseline = y + padding + mHeadingFont->ascent();
    canvas.text(*mHeadingFont, x + padding, baseline, "Information", kText);
    baseline += mHeadingFont->descent() + 14 + mFont->ascent();
    if (laidOut.empty()) {
        canvas.text(*mFont, x + padding, baseline, mFont->elided(none, width - 2 * padding),
                    kQuietText);
        baseline += line;
    }
    for (const auto& [label, valueLines] : laidOut) {
        canvas.text(*mBoldFont, x + padding, baseline, label, kQuietText);
        for (const std::string& text : valueLines) {
            canvas.text(*mFont, x + padding + labelWidth, baseline, text, kText);
            baseline += line;
        }
    }
    baseline += 16 - 5;
    canvas.text(*mFont, x + padding, baseline, footer, kQuietText);
}

void AlbumWindow::scrollStripTo(int index)
{
    const int top = kCellGap + index * kCellPitch;
    const int visible = stripHeight();
    if (top - kCellGap < mStripOffset)
        mStripOffset = top - kCellGap;
    else if (top + kCellSize + kCellGap > mStripOffset + visible)
        mStripOffset = top + kCellSize + kCellGap - visible;
    mStripOffset = std::clamp(mStripOffset, 0, std::max(0, stripContentHeight() - visible));
}

int AlbumWindow::stripContentHeight() const
{
    return kCellGap + mPictures.count() * kCellPitch;
}

int AlbumWindow::stripHeight() const
{
    return mCanvas ? mCanvas->height() : 0;
}

} // namespace exported

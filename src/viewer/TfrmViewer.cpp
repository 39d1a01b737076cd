#include "TfrmViewer.h"

#include "ScreenSaverInhibitor.h"
#include "SlideSequence.h"
#include "TPhoto.h"
#include "TResizeImageThread.h"
#include "TVelkoImageScroller.h"
#include "ThumbnailCache.h"
#include "ViewerButton.h"
#include "ViewerPlacement.h"
#include "WaitCursor.h"
#include "WidgetColors.h"
#include "uLanguage.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <optional>
#include <vector>

namespace {

// Window text ids.
enum : unsigned
{
    TextLoading = 122,
    TextClose = 123,
    TextPause = 124,
    TextPlay = 125,
    TextPrevious = 126,
    TextNext = 127,
    TextLegendNext = 128,
    TextLegendPrevious = 129,
    TextLegendPlayPause = 130,
    TextLegendClose = 131,
    TextSlideshow = 108,
};

const QColor kStripColor(232, 232, 232);

constexpr int kStripPanelWidth = 147; // pnLeft
constexpr int kStripSpaceWithBar = 8; // pnLeftSpace beside a strip that scrolls
constexpr int kStripSpaceNoBar = 16;  // and beside one that does not
constexpr int kStripThumbSize = 90;
constexpr int kStripSpacing = 11;
constexpr int kImageMargin = 32; // pnImageLeft, pnImageRight, pnImageTop, pnImageBottom
constexpr int kMinimumImageSide = 32;
constexpr int kButtonGap = 2;
constexpr int kStartDelayMs = 1; // tmStart
constexpr int kLegendMs = 2000;  // tmMenu
// X11 reports no end of an interactive resize: a pause this long ends it.
constexpr int kResizeSettleMs = 300;
constexpr int kDefaultSlideIntervalMs = 5000;

using viewer::TResizeImageThread;
using viewer::ViewerButton;

// What one load is for; two loads of the same slide give the same picture.
struct LoadRequest
{
    quint64 serial = 0;
    int index = -1;
    QString path;
    QSize box; // device pixels

    bool sameSlide(const LoadRequest& other) const
    {
        return index == other.index && path == other.path && box == other.box;
    }
};

struct Load
{
    LoadRequest request;
    std::unique_ptr<TResizeImageThread> worker;
};

// A finished load: the fitted JPEG (none for an unreadable file) and the stored size.
struct FittedPicture
{
    LoadRequest request;
    QSize storedSize;
    QImage image; // decoded by the worker; null when the file could not be read
};

QString keyLegendHtml()
{
    const std::pair<const char*, unsigned> lines[] = {
        {"\u2192", TextLegendNext},
        {"\u2190", TextLegendPrevious},
        {"P", TextLegendPlayPause},
        {"Esc", TextLegendClose},
    };
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"1\">");
    for (const auto& [key, text] : lines)
        html += QStringLiteral("<tr><td><b>%1</b></td><td>&nbsp;&nbsp;%2</td></tr>")
                    .arg(QString::fromUtf8(key).toHtmlEscaped(), GetText(text).toHtmlEscaped());
    return html + QStringLiteral("</table>");
}

} // namespace

struct TfrmViewer::Private
{
    explicit Private(TfrmViewer* owner);
    ~Private();

    void buildWindow();
    void buildStrip(QWidget* parent);
    void buildSlideshowControls();
    QTimer* makeTimer(const char* name, int interval, bool singleShot);
    void applyMode();
    void fillStrip();
    void updateStripSpace();
    void placeOverlays();

    void start();
    void startLoad(int index);
    std::optional<Load> startWorker(const LoadRequest& request);
    qintptr workerMessage(quint64 serial, const WindowMessage& message);
    void pictureArrived(const FittedPicture& picture);
    void showPicture(const FittedPicture& picture);
    void placePicture();
    void prepareNext();
    void stopLoad();
    void dropAhead();
    void stopAll();
    void retire(std::unique_ptr<TResizeImageThread> worker);
    void reapRetired();
    QSize deviceBox() const;

    void areaResized();
    void reloadIfAreaChanged();
    void enableSlideTimer();
    void showPlayState();
    void showLegend();

    TfrmViewer* const q;

    QWidget* pnLeft = nullptr;
    QWidget* pnLeftSpace = nullptr;
    TVelkoImageScroller* VelkoImageScroller1 = nullptr;
    QVBoxLayout* imageMargins = nullptr;
    QLabel* pnImage = nullptr;
    QLabel* Image1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QWidget* pnClose = nullptr;
    ViewerButton* imPlay = nullptr;
    ViewerButton* imClose = nullptr;
    ViewerButton* imPrev = nullptr;
    ViewerButton* imNext = nullptr;
    QLabel* pnMenu = nullptr;
    QTimer* tmStart = nullptr;
    QTimer* tmSlide = nullptr;
    QTimer* tmMenu = nullptr;
    QTimer* tmResizeEnd = nullptr;

    Mode mode = Mode::View;
    int slideInterval = kDefaultSlideIntervalMs;
    bool prepareAhead = true;
    bool inhibitScreenSaver = true;
    bool paused = false;
    bool started = false;
    QStringList files;
    viewer::SlideSequence sequence;

    // The current file: the photo shown or being loaded.
    int currentIndex = -1;
    QString currentPath;
    QSize storedSize;    // of the picture on screen; empty when there is none
    int shownIndex = -1; // whose picture is on screen
    QSize requestedArea; // the picture area the current file was last loaded for
    bool reloadAtOnce = false;

    quint64 lastSerial = 0;
    quint64 wantedSerial = 0;    // the load whose picture goes on screen
    std::optional<Load> loading; // the photo being shown: "the load in progress"
    std::optional<Load> ahead;   // the next slide, prepared while this one is shown
    std::optional<FittedPicture> prepared;
    // Workers that have answered; joined once they have left their message.
    std::vector<std::unique_ptr<TResizeImageThread>> retired;
    // Keeps the screen on while the slideshow is shown.
    std::unique_ptr<ScreenSaverInhibitor> inhibitor;
};

TfrmViewer::Private::Private(TfrmViewer* owner) : q(owner) {}

TfrmViewer::Private::~Private()
{
    stopAll();
    reapRetired();
}

void TfrmViewer::Private::buildWindow()
{
    q->setObjectName(QStringLiteral("frmViewer"));
    setBackground(q, Qt::black);

    auto* root = new QVBoxLayout(q);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    root->addLayout(body, 1);

    pnLeft = new QWidget(q);
    pnLeft->setObjectName(QStringLiteral("pnLeft"));
    pnLeft->setFixedWidth(kStripPanelWidth);
    setBackground(pnLeft, kStripColor);
    buildStrip(pnLeft);
    body->addWidget(pnLeft);

    imageMargins = new QVBoxLayout;
    imageMargins->setContentsMargins(kImageMargin, kImageMargin, kImageMargin, kImageMargin);
    body->addLayout(imageMargins, 1);
    pnImage = new QLabel(q);
    pnImage->setObjectName(QStringLiteral("pnImage"));
    pnImage->setMinimumSize(kMinimumImageSide, kMinimumImageSide);
    pnImage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    pnImage->setAlignment(Qt::AlignCenter);
    QFont bold = pnImage->font();
    bold.setBold(true);
    pnImage->setFont(bold);
    setTextColor(pnImage, Qt::white);
    pnImage->installEventFilter(q);
    imageMargins->addWidget(pnImage);

    Image1 = new QLabel(pnImage);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    Image1->hide();

    StatusBar1 = new QStatusBar(q);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    // Its own colour, not the window's black.
    setBackground(StatusBar1, QApplication::palette().color(QPalette::Window));
    root->addWidget(StatusBar1);

    buildSlideshowControls();

    tmStart = makeTimer("tmStart", kStartDelayMs, true);
    QObject::connect(tmStart, &QTimer::timeout, q, [this] { start(); });
    tmSlide = makeTimer("tmSlide", slideInterval, false);
    QObject::connect(tmSlide, &QTimer::timeout, q, &TfrmViewer::slideStep);
    tmMenu = makeTimer("tmMenu", kLegendMs, true);
    QObject::connect(tmMenu, &QTimer::timeout, pnMenu, &QWidget::hide);
    tmResizeEnd = makeTimer("tmResizeEnd", kResizeSettleMs, true);
    QObject::connect(tmResizeEnd, &QTimer::timeout, q, [this] { reloadIfAreaChanged(); });

    applyMode();
}

void TfrmViewer::Private::buildStrip(QWidget* parent)
{
    auto* layout = new QHBoxLayout(parent);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    pnLeftSpace = new QWidget(parent);
    pnLeftSpace->setObjectName(QStringLiteral("pnLeftSpace"));
    pnLeftSpace->setFixedWidth(kStripSpaceNoBar);
    layout->addWidget(pnLeftSpace);

    VelkoImageScroller1 = new TVelkoImageScroller(parent);
    VelkoImageScroller1->setObjectName(QStringLiteral("VelkoImageScroller1"));
    VelkoImageScroller1->setThumbSize(kStripThumbSize);
    VelkoImageScroller1->setSpacing(kStripSpacing);
    VelkoImageScroller1->setColor(kStripColor);
    VelkoImageScroller1->setItemBGColor(kStripColor);
    VelkoImageScroller1->setFocusedSelectedColor(Qt::red);
    VelkoImageScroller1->setShowPhotoBorder(true);
    VelkoImageScroller1->setPhotoBorderColor(QApplication::palette().color(QPalette::Dark));
    VelkoImageScroller1->setItemBorderWidth(1);
    VelkoImageScroller1->setShowFilename(false);
    VelkoImageScroller1->setShowCheckbox(false);
    VelkoImageScroller1->installEventFilter(q);
    QObject::connect(VelkoImageScroller1, &TVelkoImageScroller::OnSelectedItemChange, q,
                     &TfrmViewer::showPhoto);
    layout->addWidget(VelkoImageScroller1, 1);
}

void TfrmViewer::Private::buildSlideshowControls()
{
    pnClose = new QWidget(q);
    pnClose->setObjectName(QStringLiteral("pnClose"));
    imPlay = new ViewerButton(ViewerButton::Glyph::Pause, pnClose);
    imPlay->setObjectName(QStringLiteral("imPlay"));
    imClose = new ViewerButton(ViewerButton::Glyph::Close, pnClose);
    imClose->setObjectName(QStringLiteral("imClose"));
    imClose->move(imPlay->width() + kButtonGap, 0);
    imClose->setToolTip(GetText(TextClose));
    pnClose->setFixedSize(imPlay->width() + imClose->width() + kButtonGap,
                          ViewerButton::kSize.height());
    QObject::connect(imPlay, &ViewerButton::clicked, q, &TfrmViewer::playPause);
    QObject::connect(imClose, &ViewerButton::clicked, q, &QDialog::reject);

    // Present but never shown in the slideshow; the arrow keys do their work.
    imPrev = new ViewerButton(ViewerButton::Glyph::Previous, q);
    imPrev->setObjectName(QStringLiteral("imPrev"));
    imPrev->setToolTip(GetText(TextPrevious));
    imPrev->hide();
    imNext = new ViewerButton(ViewerButton::Glyph::Next, q);
    imNext->setObjectName(QStringLiteral("imNext"));
    imNext->setToolTip(GetText(TextNext));
    imNext->hide();
    QObject::connect(imPrev, &ViewerButton::clicked, q, &TfrmViewer::previousPhoto);
    QObject::connect(imNext, &ViewerButton::clicked, q, &TfrmViewer::nextPhoto);

    pnMenu = new QLabel(q);
    pnMenu->setObjectName(QStringLiteral("pnMenu"));
    setBackground(pnMenu, Qt::white);
    setTextColor(pnMenu, Qt::black);
    pnMenu->setMargin(4);
    pnMenu->setTextFormat(Qt::RichText);
    pnMenu->setText(keyLegendHtml());
    pnMenu->adjustSize();
    pnMenu->hide();
    showPlayState();
}

QTimer* TfrmViewer::Private::makeTimer(const char* name, int interval, bool singleShot)
{
    auto* timer = new QTimer(q);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(interval);
    timer->setSingleShot(singleShot);
    return timer;
}

void TfrmViewer::Private::applyMode()
{
    const bool slideshow = mode == Mode::Slideshow;
    q->setWindowFlags(slideshow
                          ? Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                          : Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    pnLeft->setVisible(!slideshow);
    StatusBar1->setVisible(!slideshow);
    const int margin = slideshow ? 0 : kImageMargin;
    imageMargins->setContentsMargins(margin, margin, margin, margin);
    pnClose->setVisible(slideshow);
    // The slideshow's keys reach the window itself; nothing else in it takes the focus.
    q->setFocusPolicy(slideshow ? Qt::StrongFocus : Qt::NoFocus);
    if (slideshow)
        VelkoImageScroller1->ClearPhotos();
    else
        fillStrip();
}

void TfrmViewer::Private::fillStrip()
{
    VelkoImageScroller1->ClearPhotos();
    for (int i = 0; i < files.size(); ++i) {
        auto photo = std::make_unique<TPhoto>(files.at(i));
        VelkoImageScroller1->AddPhoto(photo, std::nullopt, i == files.size() - 1);
    }
    updateStripSpace();
}

void TfrmViewer::Private::updateStripSpace()
{
    pnLeftSpace->setFixedWidth(VelkoImageScroller1->gridLayout().barShown ? kStripSpaceWithBar
                                                                          : kStripSpaceNoBar);
}

void TfrmViewer::Private::placeOverlays()
{
    pnClose->move(q->width() - pnClose->width(), 0);
    pnClose->raise();
    pnMenu->move(q->width() - pnMenu->width(), pnClose->height());
    pnMenu->raise();
}

// tmStart: the first photo, once the window is on screen.
void TfrmViewer::Private::start()
{
    if (mode == Mode::View) {
        VelkoImageScroller1->SetActiveIndex(0);
        return;
    }
    if (files.isEmpty())
        return;
    q->showPhoto(sequence.step());
    tmSlide->setInterval(slideInterval);
    if (!paused)
        enableSlideTimer();
}

void TfrmViewer::Private::startLoad(int index)
{
    currentIndex = index;
    currentPath = files.at(index);
    requestedArea = pnImage->size();
    LoadRequest request{0, index, currentPath, deviceBox()};

    if (prepared && prepared->request.sameSlide(request)) {
        const FittedPicture picture = std::move(*prepared);
        prepared.reset();
        wantedSerial = picture.request.serial;
        showPicture(picture);
        return;
    }
    prepared.reset();
    if (ahead && ahead->request.sameSlide(request)) {
        // Still on its way: it becomes the load in progress.
        loading = std::move(ahead);
        ahead.reset();
        wantedSerial = loading->request.serial;
        return;
    }
    dropAhead();
    request.serial = ++lastSerial;
    wantedSerial = request.serial;
    loading = startWorker(request);
    if (!loading)
        showPicture(FittedPicture{request, {}, {}});
}

std::optional<Load> TfrmViewer::Private::startWorker(const LoadRequest& request)
{
    auto worker = std::make_unique<TResizeImageThread>(
        [this, serial = request.serial](const WindowMessage& message) {
            return workerMessage(serial, message);
        },
        request.path, request.box);
    if (!worker->start())
        return std::nullopt;
    return Load{request, std::move(worker)};
}

// On the window's thread while the worker waits in its send.
qintptr TfrmViewer::Private::workerMessage(quint64 serial, const WindowMessage& message)
{
    if (message.id != viewer::WM_RESIZE_IMAGE_DONE)
        return 0;
    const bool forShown = loading && loading->request.serial == serial;
    const bool forAhead = ahead && ahead->request.serial == serial;
    if (!forShown && !forAhead)
        return 0;
    Load& load = forShown ? *loading : *ahead;
    FittedPicture picture{load.request, load.worker->storedSize(), load.worker->takePicture()};
    retire(std::move(load.worker));
    if (forAhead) {
        ahead.reset();
        prepared = std::move(picture);
        return 1;
    }
    loading.reset();
    // Shown from the event loop rather than from inside the worker's message, so that what
    // listeners of pictureShown do cannot reach back into the messenger.
    QMetaObject::invokeMethod(
        q, [this, picture] { pictureArrived(picture); }, Qt::QueuedConnection);
    return 1;
}

void TfrmViewer::Private::pictureArrived(const FittedPicture& picture)
{
    reapRetired();
    // A newer load (another photo, another size) has taken its place.
    if (picture.request.serial != wantedSerial)
        return;
    showPicture(picture);
}

void TfrmViewer::Private::showPicture(const FittedPicture& picture)
{
    pnImage->clear();
    // Shrunk and decoded by the worker: the window only shows it.
    const QImage& image = picture.image;
    storedSize = image.isNull() ? QSize() : picture.storedSize;
    shownIndex = picture.request.index;
    Image1->hide();
    if (image.isNull())
        Image1->clear();
    else
        Image1->setPixmap(QPixmap::fromImage(image));
    placePicture();
    Image1->setVisible(!image.isNull());
    if (mode == Mode::Slideshow) {
        if (!paused)
            enableSlideTimer();
        prepareNext();
    }
    emit q->pictureShown(picture.request.index);
}

void TfrmViewer::Private::placePicture()
{
    if (storedSize.isEmpty())
        return;
    Image1->setGeometry(viewer::placePicture(storedSize, pnImage->size()));
}

void TfrmViewer::Private::prepareNext()
{
    if (!prepareAhead || files.isEmpty())
        return;
    const int index = sequence.peek();
    LoadRequest request{0, index, files.at(index), deviceBox()};
    if ((prepared && prepared->request.sameSlide(request)) ||
        (ahead && ahead->request.sameSlide(request)))
        return;
    dropAhead();
    prepared.reset();
    request.serial = ++lastSerial;
    ahead = startWorker(request);
}

void TfrmViewer::Private::stopLoad()
{
    if (!loading)
        return;
    const WaitCursor wait;
    pnImage->clear();
    loading->worker->stop();
    loading.reset();
}

void TfrmViewer::Private::dropAhead()
{
    if (!ahead)
        return;
    ahead->worker->stop();
    ahead.reset();
}

void TfrmViewer::Private::stopAll()
{
    tmStart->stop();
    tmSlide->stop();
    tmResizeEnd->stop();
    stopLoad();
    dropAhead();
    prepared.reset();
}

void TfrmViewer::Private::retire(std::unique_ptr<TResizeImageThread> worker)
{
    retired.push_back(std::move(worker));
    QMetaObject::invokeMethod(
        q, [this] { reapRetired(); }, Qt::QueuedConnection);
}

void TfrmViewer::Private::reapRetired()
{
    // Each has answered and only returns from its message; the joins are short.
    for (const auto& worker : retired)
        worker->stop();
    retired.clear();
}

QSize TfrmViewer::Private::deviceBox() const
{
    const qreal ratio = q->devicePixelRatioF();
    return {qRound(pnImage->width() * ratio), qRound(pnImage->height() * ratio)};
}

void TfrmViewer::Private::areaResized()
{
    placePicture();
    if (currentPath.isEmpty())
        return;
    if (reloadAtOnce) {
        reloadIfAreaChanged();
        return;
    }
    tmResizeEnd->start();
}

// The end of a resize: the picture is loaded again for the area it now has, if that changed.
void TfrmViewer::Private::reloadIfAreaChanged()
{
    tmResizeEnd->stop();
    if (currentPath.isEmpty() || pnImage->size() == requestedArea)
        return;
    reloadAtOnce = false;
    stopLoad();
    startLoad(currentIndex);
}

void TfrmViewer::Private::enableSlideTimer()
{
    // Enabling a running timer does not restart it.
    if (mode == Mode::Slideshow && !tmSlide->isActive())
        tmSlide->start(slideInterval);
}

void TfrmViewer::Private::showPlayState()
{
    imPlay->setGlyph(paused ? ViewerButton::Glyph::Play : ViewerButton::Glyph::Pause);
    imPlay->setToolTip(GetText(paused ? TextPlay : TextPause));
}

void TfrmViewer::Private::showLegend()
{
    placeOverlays();
    pnMenu->show();
    tmMenu->start();
}

// ---- TfrmViewer -------------------------------------------------------------------------

TfrmViewer::TfrmViewer(QWidget* parent) : QDialog(parent), d(std::make_unique<Private>(this))
{
    d->buildWindow();
}

TfrmViewer::~TfrmViewer() = default;

void TfrmViewer::setMode(Mode mode)
{
    if (mode == d->mode)
        return;
    d->mode = mode;
    d->applyMode();
}

TfrmViewer::Mode TfrmViewer::mode() const
{
    return d->mode;
}

void TfrmViewer::setSlideInterval(int milliseconds)
{
    d->slideInterval = std::max(1, milliseconds);
    d->tmSlide->setInterval(d->slideInterval);
}

int TfrmViewer::slideInterval() const
{
    return d->slideInterval;
}

void TfrmViewer::setPrepareAhead(bool prepareAhead)
{
    d->prepareAhead = prepareAhead;
    if (!prepareAhead) {
        d->dropAhead();
        d->prepared.reset();
    }
}

void TfrmViewer::setInhibitScreenSaver(bool inhibit)
{
    d->inhibitScreenSaver = inhibit;
    if (!inhibit)
        d->inhibitor.reset();
}

void TfrmViewer::setPhotoFiles(const QStringList& paths)
{
    d->stopAll();
    d->files = paths;
    d->sequence.reset(int(paths.size()));
    d->currentIndex = -1;
    d->currentPath.clear();
    d->shownIndex = -1;
    d->storedSize = {};
    d->Image1->hide();
    if (d->mode == Mode::View)
        d->fillStrip();
    d->pnImage->setText(paths.isEmpty() ? QString() : GetText(TextLoading));
}

const QStringList& TfrmViewer::photoFiles() const
{
    return d->files;
}

void TfrmViewer::showPhoto(int index)
{
    if (d->mode == Mode::View)
        d->Image1->hide();
    if (index < 0 || index >= d->files.size())
        return;
    d->stopLoad();
    d->startLoad(index);
}

void TfrmViewer::slideStep()
{
    d->tmSlide->stop();
    if (d->mode == Mode::View)
        return;
    showPhoto(d->sequence.step());
}

void TfrmViewer::playPause()
{
    d->paused = !d->paused;
    d->showPlayState();
    if (!d->paused) {
        slideStep();
        return;
    }
    d->tmSlide->stop();
    if (d->loading) {
        // The interrupted photo comes first on resume.
        d->sequence.resumeAt(d->loading->request.index);
        d->stopLoad();
    }
}

void TfrmViewer::nextPhoto()
{
    d->tmSlide->stop();
    // A Next while the photo still loads is ignored.
    if (!d->loading)
        slideStep();
    if (!d->paused)
        d->enableSlideTimer();
}

void TfrmViewer::previousPhoto()
{
    d->tmSlide->stop();
    const int onScreen = d->shownIndex >= 0 ? d->shownIndex : std::max(d->currentIndex, 0);
    d->sequence.backFrom(onScreen);
    d->stopLoad();
    slideStep();
    if (!d->paused)
        d->enableSlideTimer();
}

int TfrmViewer::currentIndex() const
{
    return d->currentIndex;
}

bool TfrmViewer::isLoading() const
{
    return d->loading.has_value();
}

bool TfrmViewer::isPaused() const
{
    return d->paused;
}

bool TfrmViewer::isNextPrepared() const
{
    const int index = d->sequence.peek();
    return index >= 0 && d->prepared &&
           d->prepared->request.sameSlide(
               LoadRequest{0, index, d->files.at(index), d->deviceBox()});
}

int TfrmViewer::exec()
{
    setWindowModality(Qt::ApplicationModal);
    // Full screen, so that it covers the desktop's panels too; the screen's geometry as well,
    // for a display without a window manager to honour the full-screen state.
    if (d->mode == Mode::Slideshow) {
        const QWidget* owner = parentWidget() ? parentWidget() : this;
        setGeometry(owner->screen()->geometry());
        showFullScreen();
    }
    return QDialog::exec();
}

void TfrmViewer::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    d->placeOverlays();
    if (d->mode == Mode::Slideshow && d->inhibitScreenSaver && !d->inhibitor)
        d->inhibitor = std::make_unique<ScreenSaverInhibitor>(GetText(TextSlideshow), this);
    if (d->started)
        return;
    d->started = true;
    if (d->mode == Mode::View)
        d->VelkoImageScroller1->StartThumbnails(LoadCachedThumbnail);
    else
        setFocus();
    d->tmStart->start();
}

void TfrmViewer::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (event->spontaneous())
        return;
    d->stopAll();
    d->inhibitor.reset();
}

void TfrmViewer::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const Qt::WindowStates before = static_cast<QWindowStateChangeEvent*>(event)->oldState();
    const Qt::WindowStates large = Qt::WindowMaximized | Qt::WindowFullScreen;
    if ((before & large) == (windowState() & large))
        return;
    // Maximise and restore reload at once, whichever comes first: the state or the size.
    d->reloadAtOnce = true;
    QMetaObject::invokeMethod(
        this, [this] { d->reloadIfAreaChanged(); }, Qt::QueuedConnection);
}

void TfrmViewer::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    d->placeOverlays();
}

void TfrmViewer::keyPressEvent(QKeyEvent* event)
{
    if (d->mode != Mode::Slideshow) {
        QDialog::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Escape:
        reject();
        break;
    case Qt::Key_Right:
    case Qt::Key_Space:
        nextPhoto();
        break;
    case Qt::Key_Left:
        previousPhoto();
        break;
    case Qt::Key_P:
        playPause();
        break;
    default:
        d->showLegend();
        break;
    }
}

bool TfrmViewer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == d->pnImage)
            d->areaResized();
        else if (watched == d->VelkoImageScroller1)
            // After the strip has laid itself out for the new size.
            QMetaObject::invokeMethod(
                this, [this] { d->updateStripSpace(); }, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

#include "TfrmMain.h"

#include "AppResources.h"
#include "DeletePhotos.h"
#include "DriveRequestEvent.h"
#include "HelpManual.h"
#include "HttpServerAddress.h"
#include "LinkLabel.h"
#include "MainWindowMetrics.h"
#include "ProgramVersion.h"
#include "ShellNamespace.h"
#include "SourceChooser.h"
#include "TPrintPhotoObject.h"
#include "TVelkoDirectoryTreeview.h"
#include "TVelkoImageScroller.h"
#include "TWIAWebcam.h"
#include "TfrmCreateAlbumEXE.h"
#include "TfrmEditPicture.h"
#include "TfrmGetPhotos.h"
#include "TfrmPics.h"
#include "TfrmPrint.h"
#include "TfrmUpload.h"
#include "TfrmViewer.h"
#include "TfrmWIA.h"
#include "ThumbnailCache.h"
#include "TwainImport.h"
#include "ViewerPlacement.h"
#include "WaitCursor.h"
#include "WebcamDevices.h"
#include "WidgetColors.h"
#include "uLanguage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <set>

namespace {

// Window text ids.
enum : unsigned
{
    TextOk = 7,
    TextSelectFolder = 100,
    TextSelectAll = 101,
    TextDeselectAll = 102,
    TextGetPhotos = 103,
    TextSelectedPhotos = 104,
    TextPrint = 105,
    TextView = 107,
    TextSlideshow = 108,
    TextCreateViewFile = 109,
    TextScreenSaver = 110,
    TextDelete = 111,
    TextDoubleClickToEdit = 112,
    TextNoPhotosInFolder = 113,
    TextNoPhotosSelected = 114,
    TextHelp = 117,
    TextEditActivePhoto = 118,
    TextUpload = 119,
    TextSnapshot = 120,
    TextNotADiskFolder = 133,
    TextTwain = 800,
};

const QColor kWindowColor(208, 208, 208);
const QColor kTopBandColor(237, 28, 36);
const QColor kTopBandLineColor(102, 102, 102);
const QColor kSplitterColor(213, 213, 213);
const QColor kGridColor(232, 232, 232);
const QColor kGridItemColor(244, 244, 244);
const QColor kGridItemSelectedColor(164, 208, 255);
const QColor kGridUnfocusedSelectedColor(153, 153, 153);

constexpr int kMinimumWidth = 652;
constexpr int kMinimumHeight = 460;
constexpr int kTopBandHeight = 55;
constexpr int kTopBandLineHeight = 4;
constexpr int kLogoWidth = 178;
constexpr int kTitleLeft = 192;
constexpr int kBarHeight = 51;
constexpr int kBarRightWidth = 165;
constexpr int kLeftSpacerWidth = 10;
constexpr int kBottomSpacerHeight = 10;
constexpr int kTreeWidth = 208;
constexpr int kTreeIndent = 19;
constexpr int kSplitterWidth = 4;
constexpr int kToolStripHeight = 30;
constexpr int kGridSpacerHeight = 4;
constexpr int kGridLeftSpacerWidth = 4;
constexpr int kCommandColumnWidth = 153;
constexpr int kButtonSize = 24;
constexpr int kButtonLeft = 1;
constexpr int kLabelLeft = 27;
constexpr int kStatusPanel0Width = 560;
constexpr int kStatusPanel1Width = 50;
constexpr int kSlideIntervalMs = 5000;

// Tops in the command column.
constexpr int kViewTop = 0;
constexpr int kSlideshowTop = 29;
constexpr int kPrintTop = 58;
constexpr int kCreateViewFileTop = 87;
constexpr int kDeleteTop = 124;
constexpr int kSeparatorTop = 164;
constexpr int kEditTop = 171;
constexpr int kDoubleClickHintTop = 194;
constexpr int kSnapshotTop = 227;
constexpr int kHelpTop = 261;

QWidget* makePanel(QWidget* parent, const char* name, const QColor& color)
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(QLatin1String(name));
    setBackground(panel, color);
    return panel;
}

QFrame* makeLine(QWidget* parent, const char* name)
{
    auto* line = new QFrame(parent);
    line->setObjectName(QLatin1String(name));
    line->setFrameShape(QFrame::NoFrame);
    setBackground(line, Qt::black);
    return line;
}

// Every glyph button shows its hint; screen readers name the button by it too.
void setHint(QToolButton* button, const QString& hint)
{
    button->setToolTip(hint);
    button->setAccessibleName(hint);
}

// A bold step number and its word-wrapped instruction beside it.
QLabel* addStep(QHBoxLayout* layout, QWidget* parent, const QString& number, const char* name)
{
    auto* step = new QLabel(number, parent);
    QFont bold = step->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() * 2);
    step->setFont(bold);
    step->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(step);

    auto* instruction = new QLabel(parent);
    instruction->setObjectName(QLatin1String(name));
    instruction->setWordWrap(true);
    instruction->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(instruction, 1);
    return instruction;
}

} // namespace

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent)
{
    initAppResources();
    setObjectName(QStringLiteral("frmMain"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setBackground(this, kWindowColor);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setWindowIcon(QIcon(QStringLiteral(":/artwork/velko-fotodesk.png")));

    auto* central = new QWidget(this);
    auto* rows = new QVBoxLayout(central);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    buildTopBand(central);
    buildInstructionBar(central);
    rows->addWidget(pnTop);
    rows->addWidget(pnBar);

    auto* middle = new QHBoxLayout;
    middle->setContentsMargins(0, 0, 0, 0);
    middle->setSpacing(0);
    middle->addSpacing(kLeftSpacerWidth); // bvLeft
    middle->addWidget(buildAlbums(central), 1);
    middle->addWidget(buildCommandColumn(central));
    rows->addLayout(middle, 1);
    rows->addSpacing(kBottomSpacerHeight); // bvBottom
    setCentralWidget(central);
    buildStatusBar();

    FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::FormCreate()
{
    applyTexts();
    mPrintPhotos = std::make_unique<TPrintPhotoObjectList>();
    applySizeLimits();
    // The design then slept a second on the window thread; the worker needs no head start.
    VelkoImageScroller1->StartThumbnails(LoadCachedThumbnail);
    showMyDocuments();
    createEditFrame();
    setWindowTitle(captionFor(QLatin1String(kApplicationTitle), ProgramFileVersion()));
    lblTitle->setText(QLatin1String(kApplicationTitle));
    // The cameras are looked for once here and again whenever one is plugged in or out.
    mWebcamList = new TWIAWebcamList(makeWebcamDevices(), this);
    connect(mWebcamList, &TWIAWebcamList::changed, this,
            [this] { setWebcamCommandVisible(!mWebcamList->isEmpty()); });
    mWebcamList->Enumerate();
    setWebcamCommandVisible(!mWebcamList->isEmpty());
    // Loading the scanner backends and a first look for devices, off the window's thread.
    mTwainImport = std::make_unique<TwainImport>(this);
    mTwainImport->startListing();
}

QString TfrmMain::captionFor(const QString& title, const QString& version)
{
    return title + QStringLiteral(" (v") + version + QLatin1Char(')');
}

void TfrmMain::applyTexts()
{
    cptSelectFolder->setText(GetText(TextSelectFolder));
    cptSelectedPhotos->setText(GetText(TextSelectedPhotos));
    setHint(btnSelectAll, GetText(TextSelectAll));
    setHint(btnDeselectAll, GetText(TextDeselectAll));
    setHint(btnGetPhotos, GetText(TextGetPhotos));
    setHint(btnTWAIN, GetText(TextTwain));
    setHint(btnView, GetText(TextView));
    setHint(btnSlideshow, GetText(TextSlideshow));
    setHint(btnPrint, GetText(TextPrint));
    setHint(btnUpload, GetText(TextUpload));
    setHint(btnCreateViewFile, GetText(TextCreateViewFile));
    setHint(btnScreenSaver, GetText(TextScreenSaver));
    setHint(btnDelete, GetText(TextDelete));
    setHint(btnEdit, GetText(TextEditActivePhoto));
    setHint(btnSnapshot, GetText(TextSnapshot));
    setHint(btnHelp, GetText(TextHelp) + QStringLiteral(" (F1)"));
    lblEdit->setText(GetText(TextEditActivePhoto));
    lblFareDoppio->setText(GetText(TextDoubleClickToEdit));
    cptHelp->setText(GetText(TextHelp));
    cptHelp->setToolTip(btnHelp->toolTip());
    VelkoImageScroller1->setNoItemsText(GetText(TextNoPhotosInFolder));

    // Each link label shows its button's hint.
    const std::pair<QToolButton*, LinkLabel*> links[] = {
        {btnGetPhotos, cptGetPhotos},
        {btnTWAIN, cptTWAIN},
        {btnView, cptView},
        {btnSlideshow, cptSlideShow},
        {btnPrint, cptPrint},
        {btnUpload, cptUpload},
        {btnCreateViewFile, cptCreateViewFile},
        {btnScreenSaver, cptScreenSaver},
        {btnDelete, cptDelete},
        {btnEdit, cptEdit},
        {btnSnapshot, cptSnapshot},
    };
    for (const auto& [button, label] : links)
        label->setText(button->toolTip());
}

int TfrmMain::uploadShift() const
{
    // Its label wraps to two lines, like that of the command below it.
    return btnUpload->isVisibleTo(pnButtons) ? kDeleteTop - kCreateViewFileTop : 0;
}

std::vector<TfrmMain::CommandSlot> TfrmMain::fixedCommands() const
{
    // Upload, when the site is configured, comes right after Print; the rest moves down.
    const int shift = uploadShift();
    return {
        {btnView, cptView, kViewTop},
        {btnSlideshow, cptSlideShow, kSlideshowTop},
        {btnPrint, cptPrint, kPrintTop},
        {btnUpload, cptUpload, kCreateViewFileTop},
        {btnCreateViewFile, cptCreateViewFile, kCreateViewFileTop + shift},
        {btnScreenSaver, cptScreenSaver, kCreateViewFileTop + shift},
        {btnDelete, cptDelete, kDeleteTop + shift},
        {btnEdit, lblEdit, kEditTop + shift},
        {btnEdit, cptEdit, kEditTop + shift},
    };
}

// Labels are sized to their texts, so this runs once the texts are set.
void TfrmMain::layoutCommandColumn()
{
    for (const CommandSlot& command : fixedCommands())
        placeCommand(command.button, command.label, command.top);
    const int shift = uploadShift();
    bvSeparator->setGeometry(0, kSeparatorTop + shift, kCommandColumnWidth, 1);
    bvSeparator2->setGeometry(0, kSeparatorTop + shift, kCommandColumnWidth, 1);
    const int labelWidth = kCommandColumnWidth - kLabelLeft;
    lblFareDoppio->setGeometry(kLabelLeft, kDoubleClickHintTop + shift, labelWidth,
                               lblFareDoppio->heightForWidth(labelWidth));

    // A hint that wraps to more lines than the English pushes the commands below it down;
    // without the webcam command, Help takes its place.
    const int firstTop = std::max(kSnapshotTop + shift, lblFareDoppio->geometry().bottom() + 6);
    const bool webcam = btnSnapshot->isVisibleTo(pnButtons);
    placeCommand(btnSnapshot, cptSnapshot, firstTop);
    placeCommand(btnHelp, cptHelp, webcam ? firstTop + (kHelpTop - kSnapshotTop) : firstTop);
}

int TfrmMain::treeMaximumWidth() const
{
    MainWindowMetrics metrics;
    metrics.windowMinimumWidth = kMinimumWidth;
    metrics.leftSpacerWidth = kLeftSpacerWidth;
    metrics.splitterWidth = kSplitterWidth;
    metrics.gridLeftSpacerWidth = kGridLeftSpacerWidth;
    metrics.gridPadding = VelkoImageScroller1->padding();
    metrics.gridSpacing = VelkoImageScroller1->spacing();
    metrics.gridThumbSize = VelkoImageScroller1->thumbSize();
    metrics.commandColumnWidth = kCommandColumnWidth;
    metrics.verticalScrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    metrics.borderWidth = 1;
    return maximumTreeWidth(metrics);
}

void TfrmMain::applySizeLimits()
{
    Splitter1->setChildrenCollapsible(false);
    VelkoDirectoryTreeview1->setMinimumWidth(1);
    VelkoDirectoryTreeview1->setMaximumWidth(treeMaximumWidth());
    pnImageScroller->setMinimumWidth(1);
}

void TfrmMain::showMyDocuments()
{
    if (QTreeWidgetItem* root = VelkoDirectoryTreeview1->ShowRoot(0)) {
        root->setExpanded(true);
        QTreeWidgetItem* myDocuments = VelkoDirectoryTreeview1->SelectMyDocuments();
        if (myDocuments)
            myDocuments->setExpanded(true);
        else
            VelkoDirectoryTreeview1->setCurrentItem(root);
    }
}

void TfrmMain::createEditFrame()
{
    frmEditPicture = new TfrmEditPicture(centralWidget());
    frmEditPicture->setObjectName(QStringLiteral("frmEditPicture"));
    frmEditPicture->setPalette(palette());
    frmEditPicture->setFont(font());
    frmEditPicture->hide();
    connect(VelkoImageScroller1, &TVelkoImageScroller::OnItemDblClick, this,
            &TfrmMain::VelkoImageScroller1ItemDblClick);
    connect(frmEditPicture, &TfrmEditPicture::statusText, this,
            [this](int panel, const QString& text) {
                (panel == 0 ? StatusPanel0 : StatusPanel1)->setText(text);
            });
    connect(frmEditPicture, &TfrmEditPicture::closed, this, &TfrmMain::editFrameClosed);
}

QRect TfrmMain::editFrameArea() const
{
    const int top = kTopBandHeight + kBarHeight;
    const QRect client = centralWidget()->rect();
    return QRect(0, top, client.width(), std::max(0, client.height() - top));
}

void TfrmMain::btnEditClick()
{
    if (TPhoto* photo = VelkoImageScroller1->GetActivePhoto())
        VelkoImageScroller1ItemDblClick(photo);
}

void TfrmMain::VelkoImageScroller1ItemDblClick(TPhoto* Photo)
{
    if (!Photo || frmEditPicture->isVisible())
        return;
    const QString path = Photo->path();
    WaitCursor wait;
    frmEditPicture->setGeometry(editFrameArea());
    if (!frmEditPicture->Open(path))
        return;
    mTreeFocusPolicy = VelkoDirectoryTreeview1->focusPolicy();
    mGridFocusPolicy = VelkoImageScroller1->focusPolicy();
    VelkoDirectoryTreeview1->setFocusPolicy(Qt::NoFocus);
    VelkoImageScroller1->setFocusPolicy(Qt::NoFocus);
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    StatusPanel0->setText(path);
}

void TfrmMain::editFrameClosed()
{
    StatusPanel0->clear();
    StatusPanel1->clear();
    VelkoDirectoryTreeview1->setFocusPolicy(mTreeFocusPolicy);
    VelkoImageScroller1->setFocusPolicy(mGridFocusPolicy);
    VelkoImageScroller1->setFocus();
}

void TfrmMain::setWebcamCommandVisible(bool visible)
{
    btnSnapshot->setVisible(visible);
    cptSnapshot->setVisible(visible);
    layoutCommandColumn();
}

void TfrmMain::buildTopBand(QWidget* parent)
{
    pnTop = makePanel(parent, "pnTop", kTopBandColor);
    pnTop->setFixedHeight(kTopBandHeight);

    pnLogo = makePanel(pnTop, "pnLogo", Qt::black);
    pnLogo->setGeometry(0, 0, kLogoWidth, kTopBandHeight - kTopBandLineHeight);
    pnLogo->setCursor(Qt::PointingHandCursor);
    pnLogo->setToolTip(QStringLiteral("www.velkophotosite.example"));
    imVelkoLogo = new QLabel(pnLogo);
    imVelkoLogo->setObjectName(QStringLiteral("imVelkoLogo"));
    imVelkoLogo->setPixmap(QPixmap(QStringLiteral(":/artwork/logo.png")));
    imVelkoLogo->setGeometry(pnLogo->rect());
    imVelkoLogo->setAlignment(Qt::AlignCenter);
    pnLogo->installEventFilter(this);
    imVelkoLogo->installEventFilter(this);

    lblTitle = new QLabel(pnTop);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont(QStringLiteral("Tahoma"));
    titleFont.setPixelSize(24);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    setTextColor(lblTitle, Qt::white);
    lblTitle->setGeometry(kTitleLeft, 0, 600, kTopBandHeight - kTopBandLineHeight);

    pnTopBottom = makePanel(pnTop, "pnTopBottom", kTopBandLineColor);
    auto* layout = new QVBoxLayout(pnTop);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch(1);
    pnTopBottom->setFixedHeight(kTopBandLineHeight);
    layout->addWidget(pnTopBottom);
}

void TfrmMain::buildInstructionBar(QWidget* parent)
{
    pnBar = makePanel(parent, "pnBar", kWindowColor);
    pnBar->setFixedHeight(kBarHeight);
    auto* layout = new QHBoxLayout(pnBar);
    layout->setContentsMargins(kLeftSpacerWidth, 6, 0, 4);
    layout->setSpacing(6);
    cptSelectFolder = addStep(layout, pnBar, QStringLiteral("1"), "cptSelectFolder");

    auto* right = new QWidget(pnBar);
    right->setFixedWidth(kBarRightWidth);
    auto* rightLayout = new QHBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(6);
    cptSelectedPhotos = addStep(rightLayout, right, QStringLiteral("2"), "cptSelectedPhotos");
    layout->addWidget(right);
}

QWidget* TfrmMain::buildAlbums(QWidget* parent)
{
    pnAlbums = new QWidget(parent);
    pnAlbums->setObjectName(QStringLiteral("pnAlbums"));
    auto* layout = new QHBoxLayout(pnAlbums);
    layout->setContentsMargins(0, 0, 0, 0);

    Splitter1 = new QSplitter(Qt::Horizontal, pnAlbums);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(kSplitterWidth);
    Splitter1->setStyleSheet(
        QStringLiteral("QSplitter::handle { background: %1; }").arg(kSplitterColor.name()));

    VelkoDirectoryTreeview1 = new TVelkoDirectoryTreeview(Splitter1);
    VelkoDirectoryTreeview1->setObjectName(QStringLiteral("VelkoDirectoryTreeview1"));
    VelkoDirectoryTreeview1->setIndentation(kTreeIndent);
    QPalette white = VelkoDirectoryTreeview1->palette();
    white.setColor(QPalette::Base, Qt::white);
    VelkoDirectoryTreeview1->setPalette(white);
    connect(VelkoDirectoryTreeview1, &TVelkoDirectoryTreeview::OnChange, this,
            &TfrmMain::VelkoDirectoryTreeview1Change);
    connect(VelkoDirectoryTreeview1, &TVelkoDirectoryTreeview::OnSelectedFolderMediaChanged, this,
            &TfrmMain::VelkoDirectoryTreeview1SelectedFolderMediaChanged);

    Splitter1->addWidget(VelkoDirectoryTreeview1);
    Splitter1->addWidget(buildImageScroller(Splitter1));
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({kTreeWidth, 10000});
    layout->addWidget(Splitter1);
    return pnAlbums;
}

QWidget* TfrmMain::buildImageScroller(QWidget* parent)
{
    pnImageScroller = new QFrame(parent);
    pnImageScroller->setObjectName(QStringLiteral("pnImageScroller"));
    pnImageScroller->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setBackground(pnImageScroller, kGridColor);
    auto* layout = new QVBoxLayout(pnImageScroller);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);

    Panel2 = makePanel(pnImageScroller, "Panel2", kWindowColor);
    Panel2->setFixedHeight(kToolStripHeight);
    auto* stripRows = new QVBoxLayout(Panel2);
    stripRows->setContentsMargins(0, 0, 0, 0);
    stripRows->setSpacing(0);
    auto* strip = new QHBoxLayout;
    strip->setContentsMargins(3, 2, 3, 3);
    strip->setSpacing(3);
    btnGetPhotos = makeButton(Panel2, "btnGetPhotos", QStringLiteral("folder-download"));
    cptGetPhotos = makeLink(Panel2, "cptGetPhotos");
    btnSelectAll = makeButton(Panel2, "btnSelectAll", QStringLiteral("edit-select-all"));
    btnDeselectAll = makeButton(Panel2, "btnDeselectAll", QStringLiteral("edit-clear"));
    strip->addWidget(btnGetPhotos);
    strip->addWidget(cptGetPhotos);
    strip->addStretch(1);
    strip->addWidget(btnSelectAll);
    strip->addWidget(btnDeselectAll);
    auto* stripLine = makeLine(Panel2, "Panel2Line");
    stripLine->setFixedHeight(1);
    stripRows->addLayout(strip, 1);
    stripRows->addWidget(stripLine);

    // Below the strip's height, so never seen: TWAIN is reached through Get photos.
    btnTWAIN = makeButton(Panel2, "btnTWAIN", QStringLiteral("scanner"));
    btnTWAIN->move(4, kToolStripHeight + 2);
    cptTWAIN = makeLink(Panel2, "cptTWAIN");
    cptTWAIN->move(30, kToolStripHeight + 2);

    connect(btnSelectAll, &QToolButton::clicked, this, &TfrmMain::btnSelectAllClick);
    connect(btnDeselectAll, &QToolButton::clicked, this, &TfrmMain::btnDeselectAllClick);
    connectCommand(btnGetPhotos, cptGetPhotos, &TfrmMain::btnGetPhotosClick);
    connectCommand(btnTWAIN, cptTWAIN, &TfrmMain::btnTWAINClick);

    layout->addWidget(Panel2);
    layout->addSpacing(kGridSpacerHeight); // pnSpacer

    VelkoImageScroller1 = new TVelkoImageScroller(pnImageScroller);
    VelkoImageScroller1->setObjectName(QStringLiteral("VelkoImageScroller1"));
    VelkoImageScroller1->setColor(kGridColor); // it paints its whole area itself
    VelkoImageScroller1->setItemBGColor(kGridItemColor);
    VelkoImageScroller1->setItemSelectedBGColor(kGridItemSelectedColor);
    VelkoImageScroller1->setFocusedSelectedColor(Qt::red);
    VelkoImageScroller1->setUnFocusedSelectedColor(kGridUnfocusedSelectedColor);
    VelkoImageScroller1->setThumbSize(92);
    VelkoImageScroller1->setItemBorderWidth(1);
    VelkoImageScroller1->setPadding(6);
    VelkoImageScroller1->setSpacing(12);
    VelkoImageScroller1->setAllowSorting(true);
    layout->addWidget(VelkoImageScroller1, 1);
    return pnImageScroller;
}

QWidget* TfrmMain::buildCommandColumn(QWidget* parent)
{
    pnButtons = makePanel(parent, "pnButtons", kWindowColor);
    pnButtons->setFixedWidth(kCommandColumnWidth);

    btnView = makeButton(pnButtons, "btnView", QStringLiteral("image-x-generic"));
    cptView = makeLink(pnButtons, "cptView");
    btnSlideshow = makeButton(pnButtons, "btnSlideshow", QStringLiteral("media-playback-start"));
    cptSlideShow = makeLink(pnButtons, "cptSlideShow");
    btnPrint = makeButton(pnButtons, "btnPrint", QStringLiteral("document-print"));
    cptPrint = makeLink(pnButtons, "cptPrint");
    btnUpload = makeButton(pnButtons, "btnUpload", QStringLiteral("network-server"));
    cptUpload = makeLink(pnButtons, "cptUpload");
    btnCreateViewFile = makeButton(pnButtons, "btnCreateViewFile", QStringLiteral("video-display"));
    cptCreateViewFile = makeLink(pnButtons, "cptCreateViewFile");
    btnScreenSaver = makeButton(pnButtons, "btnScreenSaver", QStringLiteral("video-display"));
    cptScreenSaver = makeLink(pnButtons, "cptScreenSaver");
    btnDelete = makeButton(pnButtons, "btnDelete", QStringLiteral("edit-delete"));
    cptDelete = makeLink(pnButtons, "cptDelete");
    // layoutCommandColumn places them, below the Upload command when it shows.
    bvSeparator = makeLine(pnButtons, "bvSeparator");
    bvSeparator2 = makeLine(pnButtons, "bvSeparator2");
    btnEdit = makeButton(pnButtons, "btnEdit", QStringLiteral("document-edit"));
    lblEdit = makeLink(pnButtons, "lblEdit");
    lblEdit->setPalette(palette());
    QFont plain = lblEdit->font();
    plain.setUnderline(false);
    plain.setBold(true);
    lblEdit->setFont(plain);
    cptEdit = makeLink(pnButtons, "cptEdit");
    lblFareDoppio = new QLabel(pnButtons);
    lblFareDoppio->setObjectName(QStringLiteral("lblFareDoppio"));
    lblFareDoppio->setWordWrap(true);
    lblFareDoppio->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    btnSnapshot = makeButton(pnButtons, "btnSnapshot", QStringLiteral("camera-web"));
    cptSnapshot = makeLink(pnButtons, "cptSnapshot");
    btnHelp = makeButton(pnButtons, "btnHelp", QStringLiteral("help-browser"));
    cptHelp = makeLink(pnButtons, "cptHelp");

    for (QWidget* hidden :
         {static_cast<QWidget*>(btnScreenSaver), static_cast<QWidget*>(cptScreenSaver),
          static_cast<QWidget*>(cptEdit), static_cast<QWidget*>(bvSeparator2)})
        hidden->hide();
    // Upload only once the user settings name the photo site to upload to.
    const bool siteConfigured = !upload::siteHostSetting().isEmpty();
    btnUpload->setVisible(siteConfigured);
    cptUpload->setVisible(siteConfigured);

    std::set<const QToolButton*> connected;
    for (const CommandSlot& command : fixedCommands()) {
        auto handler = &TfrmMain::photoCommand;
        if (command.button == btnView)
            handler = &TfrmMain::btnViewClick;
        else if (command.button == btnSlideshow)
            handler = &TfrmMain::btnSlideshowClick;
        else if (command.button == btnEdit)
            handler = &TfrmMain::btnEditClick;
        else if (command.button == btnDelete)
            handler = &TfrmMain::btnDeleteClick;
        else if (command.button == btnPrint)
            handler = &TfrmMain::btnPrintClick;
        else if (command.button == btnUpload)
            handler = &TfrmMain::btnUploadClick;
        else if (command.button == btnCreateViewFile || command.button == btnScreenSaver)
            handler = &TfrmMain::btnCreateViewFileClick;
        // Edit has two labels; its button must still run the command once a click.
        if (connected.insert(command.button).second)
            connect(command.button, &QToolButton::clicked, this, handler);
        connect(command.label, &LinkLabel::clicked, this, handler);
    }
    connectCommand(btnSnapshot, cptSnapshot, &TfrmMain::btnSnapshotClick);
    connectCommand(btnHelp, cptHelp, &TfrmMain::btnHelpClick);
    return pnButtons;
}

void TfrmMain::buildStatusBar()
{
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    StatusPanel0 = new QLabel(bar);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(kStatusPanel0Width);
    StatusPanel1 = new QLabel(bar);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    // At least its width, wider for a size such as "12000x8000" so that it is never cut.
    StatusPanel1->setMinimumWidth(kStatusPanel1Width);
    bar->addWidget(StatusPanel0);
    bar->addWidget(StatusPanel1);
    setStatusBar(bar);
}

QToolButton* TfrmMain::makeButton(QWidget* parent, const char* name, const QString& iconName)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    button->setFixedSize(kButtonSize, kButtonSize);
    button->setIconSize(QSize(16, 16));
    button->setIcon(QIcon::fromTheme(iconName, style()->standardIcon(QStyle::SP_FileIcon)));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

LinkLabel* TfrmMain::makeLink(QWidget* parent, const char* name)
{
    auto* label = new LinkLabel(parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

void TfrmMain::placeCommand(QToolButton* button, QLabel* label, int top)
{
    const int width = kCommandColumnWidth - kLabelLeft;
    label->setWordWrap(true);
    const int height = std::max(label->heightForWidth(width), label->sizeHint().height());
    button->move(kButtonLeft, top);
    label->setGeometry(kLabelLeft, labelTopBesideButton(top, kButtonSize, height), width, height);
}

void TfrmMain::connectCommand(QToolButton* button, LinkLabel* label, void (TfrmMain::*command)())
{
    connect(button, &QToolButton::clicked, this, command);
    connect(label, &LinkLabel::clicked, this, command);
}

void TfrmMain::VelkoDirectoryTreeview1Change(QTreeWidgetItem*)
{
    if (const std::optional<ShellItemIdList> folder = VelkoDirectoryTreeview1->SelectedFolderId())
        VelkoImageScroller1->SetFolder(*folder, false);
}

void TfrmMain::VelkoDirectoryTreeview1SelectedFolderMediaChanged()
{
    VelkoImageScroller1->Rescan();
}

void TfrmMain::photoCommand()
{
    if (VelkoImageScroller1->GetSelectedPhotos().isEmpty()) {
        showNoPhotosSelected();
        return;
    }
    // The windows that take the photos come with their commands.
}

QStringList TfrmMain::selectedPhotoPaths() const
{
    const TPhotoList selected = VelkoImageScroller1->GetSelectedPhotos();
    QStringList paths;
    paths.reserve(selected.count());
    for (int i = 0; i < selected.count(); ++i)
        paths << selected.at(i)->path();
    return paths;
}

void TfrmMain::btnViewClick()
{
    openViewer(false);
}

void TfrmMain::btnSlideshowClick()
{
    openViewer(true);
}

void TfrmMain::openViewer(bool slideshow)
{
    const QStringList paths = selectedPhotoPaths();
    if (paths.isEmpty()) {
        showNoPhotosSelected();
        return;
    }
    TfrmViewer viewer(this);
    viewer.setWindowTitle(QLatin1String(kApplicationTitle) + QStringLiteral(" - ") +
                          GetText(slideshow ? TextSlideshow : TextView));
    viewer.setMode(slideshow ? TfrmViewer::Mode::Slideshow : TfrmViewer::Mode::View);
    if (slideshow) {
        viewer.setSlideInterval(kSlideIntervalMs); // and full screen
    } else {
        const QRect placed = viewer::viewWindowRect(frameGeometry());
        viewer.move(placed.topLeft());
        viewer.resize(placed.size());
    }
    viewer.setPhotoFiles(paths);
    viewer.exec();
}

void TfrmMain::showNoPhotosSelected()
{
    QMessageBox box(QMessageBox::Information, QLatin1String(kApplicationTitle),
                    GetText(TextNoPhotosSelected), QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("NoPhotosSelected"));
    box.addButton(GetText(TextOk), QMessageBox::AcceptRole);
    box.exec();
}

void TfrmMain::btnDeleteClick()
{
    DeletePhotos::run(this, *VelkoImageScroller1);
}

void TfrmMain::btnPrintClick()
{
    const QStringList paths = selectedPhotoPaths();
    if (paths.isEmpty()) {
        showNoPhotosSelected();
        return;
    }
    if (mWindows.frmPrint == nullptr)
        return;
    {
        WaitCursor wait;
        mWindows.frmPrint->setPhotos(mPrintPhotos->objectsFor(paths));
        mWindows.frmPrint->setActivePageIndex(0);
    }
    mWindows.frmPrint->exec();
}

void TfrmMain::btnUploadClick()
{
    const QStringList paths = selectedPhotoPaths();
    if (paths.isEmpty()) {
        showNoPhotosSelected();
        return;
    }
    if (mWindows.frmUpload == nullptr)
        return;
    mWindows.frmUpload->SetPhotoFiles(paths);
    mWindows.frmUpload->exec();
}

void TfrmMain::btnCreateViewFileClick()
{
    const QStringList paths = selectedPhotoPaths();
    if (paths.isEmpty()) {
        showNoPhotosSelected();
        return;
    }
    if (mWindows.frmCreateAlbumEXE == nullptr)
        return;
    mWindows.frmCreateAlbumEXE->SetPhotoFiles(paths);
    mWindows.frmCreateAlbumEXE->setActivePageIndex(0);
    mWindows.frmCreateAlbumEXE->exec();
}

void TfrmMain::btnHelpClick()
{
    openManual(this);
}

void TfrmMain::btnSelectAllClick()
{
    VelkoImageScroller1->SetAllSelected(true);
}

void TfrmMain::btnDeselectAllClick()
{
    VelkoImageScroller1->SetAllSelected(false);
}

const LongLivedWindows& TfrmMain::createLongLivedWindows()
{
    mWindows.frmPics = new TfrmPics(this);
    mWindows.frmPics->hide();
    mWindows.frmGetPhotos = new TfrmGetPhotos(this, mWindows.frmPics);
    mWindows.frmPrint = new TfrmPrint(this, mWindows.frmPics);
    mWindows.frmCreateAlbumEXE = new TfrmCreateAlbumEXE(this, mWindows.frmPics);
    mWindows.frmUpload = new TfrmUpload(this, mWindows.frmPics);
    mWindows.frmWIA = new TfrmWIA(this, mWebcamList);
    return mWindows;
}

bool TfrmMain::AppMessage(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Type(WM_DRIVE_REQUEST)) {
        const auto* request = static_cast<DriveRequestEvent*>(event);
        // Dropped silently while a modal window is open.
        if (QApplication::activeModalWidget() == nullptr)
            handleDriveRequest(request->drivePath(), request->fromSecondCopy());
        return true;
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        // Held down, it opens the manual once.
        if (!static_cast<QKeyEvent*>(event)->isAutoRepeat())
            btnHelpClick();
        return true;
    }
    return false;
}

void TfrmMain::handleDriveRequest(const QString& drivePath, bool fromSecondCopy)
{
    emit driveRequestTaken(drivePath, fromSecondCopy);
    TfrmGetPhotos* wizard = mWindows.frmGetPhotos;
    if (!wizard || wizard->isVisible())
        return;
    {
        WaitCursor wait;
        TVelkoDirectoryTreeview* source = wizard->sourceTree();
        QTreeWidgetItem* root = source->ShowDrive(QFile::encodeName(drivePath));
        if (!root)
            root = source->ShowRoot(TVelkoDirectoryTreeview::RootDesktop);
        if (!root)
            return;
        root->setExpanded(true);
        if (fromSecondCopy) {
            TVelkoDirectoryTreeview* destination = wizard->destinationTree();
            VelkoDirectoryTreeview1->CopySelectionTo(*destination);
            if (QTreeWidgetItem* selected = destination->selectedNode())
                selected->setExpanded(true);
        }
        wizard->setDriveMode(true);
        wizard->setActivePageIndex(0);
    }
    wizard->exec();
}

void TfrmMain::btnGetPhotosClick()
{
    // The choice of source is offered only when a scanner is there.
    if (mTwainImport->scannerAvailable()) {
        const std::optional<SourceChooser::Source> source = SourceChooser::ask(this);
        if (!source)
            return;
        if (*source == SourceChooser::Source::Twain) {
            btnTWAINClick();
            return;
        }
    }
    TfrmGetPhotos* wizard = mWindows.frmGetPhotos;
    if (!wizard)
        return;
    {
        WaitCursor wait;
        QTreeWidgetItem* root =
            wizard->sourceTree()->ShowRoot(TVelkoDirectoryTreeview::RootDesktop);
        if (!root)
            return;
        root->setExpanded(true);
        VelkoDirectoryTreeview1->CopySelectionTo(*wizard->destinationTree());
        if (!wizard->destinationTree()->RootNode())
            return;
        wizard->setActivePageIndex(0);
        wizard->setDriveMode(false);
    }
    wizard->exec();
}

void TfrmMain::btnSnapshotClick()
{
    TfrmWIA* wizard = mWindows.frmWIA;
    if (!wizard)
        return;
    const QString folder = VelkoDirectoryTreeview1->selectedFolderPath();
    if (folder.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, QLatin1String(kApplicationTitle),
                        GetText(TextNotADiskFolder), QMessageBox::NoButton, this);
        box.setObjectName(QStringLiteral("NotADiskFolder"));
        box.addButton(GetText(TextOk), QMessageBox::AcceptRole);
        box.exec();
        return;
    }
    wizard->setTargetFolder(folder);
    wizard->setActivePageIndex(0);
    wizard->exec();
}

void TfrmMain::btnTWAINClick()
{
    mTwainImport->run(VelkoDirectoryTreeview1->selectedFolderPath(), mWindows.frmPics);
    bringToFront();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == pnLogo || watched == imVelkoLogo) &&
        (event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonRelease)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        // Like a button: the command runs when the press is released over the logo.
        if (event->type() == QEvent::MouseButtonRelease &&
            pnLogo->rect().contains(pnLogo->mapFromGlobal(mouse->globalPosition().toPoint())))
            btnSnapshotClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::bringToFront()
{
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    // The edit frame covers the window: this closes the frame (it may ask to save), and the
    // window stays.
    if (frmEditPicture && frmEditPicture->isVisible()) {
        if (frmEditPicture->canClose())
            frmEditPicture->requestClose();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TfrmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (frmEditPicture)
        frmEditPicture->setGeometry(editFrameArea());
}

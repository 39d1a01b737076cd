#include "TfrmCreateAlbumEXE.h"

#include "ContainerFormat.h"
#include "CopyFileReadOnlySafe.h"
#include "ExportRules.h"
#include "ProgramData.h"
#include "ProgramVersion.h"
#include "TResizeImageThread.h"
#include "TScreenResolutionList.h"
#include "TViewerFile.h"
#include "TfrmPics.h"
#include "VersionInfo.h"
#include "WaitCursor.h"
#include "WizardArtwork.h"
#include "WizardPageWidgets.h"
#include "WorkerThread.h"
#include "XScreenSaverSettings.h"
#include "uLanguage.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QUuid>
#include <QVBoxLayout>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

using namespace wizardpage;

namespace {

enum TextId : unsigned
{
    TextCancel = 3,
    TextClose = 4,
    TextYes = 5,
    TextNo = 6,
    TextSlideshow = 108,
    TextExportPhotos = 401,
    TextSelectFileType = 402,
    TextEditFileInformation = 403,
    TextIntro = 405,
    TextFileKind = 406,
    TextPhotoViewer = 407,
    TextScreensaver = 408,
    TextFileInformation = 409,
    TextTitle = 410,
    TextCreator = 411,
    TextComments = 412,
    TextResolution = 413,
    TextBestQuality = 414,
    TextCreate = 416,
    TextStatus = 417,
    TextNotCreated = 418,
    TextCreated = 419,
    TextCancelled = 420,
    TextFileNotFound = 421,
    TextOpenFolder = 422,
    TextSetScreensaver = 423,
    TextCreateInstaller = 424,
    TextInstallerCreated = 425,
    TextAskScreensaver = 426,
    TextInstallerFiles = 427,
    TextNoVersionArea = 428,
};

enum Page
{
    tbIntro = 0,
    tbGeneral = 1,
    tbStatus = 2,
};

constexpr QSize kPageArea(520, 400);
constexpr int kTitleLength = 49;
constexpr int kCommentsLength = 250;
const QFileDevice::Permissions kProgramPermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
    QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;

// A file job of the window reports its end with this.
inline constexpr int WM_FILE_JOB_DONE = WM_USER + 2;

std::string localName(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// The system's own words where it gave a reason.
QString reasonOf(const std::exception& error)
{
    const auto* container = dynamic_cast<const album::ContainerError*>(&error);
    if (container && container->errorNumber() != 0)
        return QString::fromLocal8Bit(std::strerror(container->errorNumber()));
    return QString::fromLocal8Bit(error.what());
}

// 418 with the system's reason on a line of its own, when there is one.
QString notCreatedText(const QString& reason)
{
    if (reason.isEmpty())
        return GetText(TextNotCreated);
    return GetText(TextNotCreated) + QLatin1Char('\n') + reason;
}

// Programs run from wherever the user saved them; a failure names the system's reason.
bool makeProgram(const QString& path, QString& error)
{
    QFile file(path);
    if (file.setPermissions(kProgramPermissions))
        return true;
    error = file.errorString();
    return false;
}

QToolButton* makeOptionButton(QWidget* parent, const char* name, const char* iconName,
                              QStyle::StandardPixmap fallback)
{
    return makeFlatButton(parent, name, iconName, fallback, QSize(26, 26), QSize(20, 20));
}

enum class Kind
{
    Viewer,
    Screensaver,
    Slideshow,
};

// The small pictures beside the three kinds: a screen showing what the program shows.
QPixmap kindPicture(Kind kind, qreal ratio)
{
    const QSize size(56, 44);
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // Stand and frame.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(90, 90, 90));
    painter.drawRect(QRectF(24, 34, 8, 5));
    painter.drawRoundedRect(QRectF(16, 38, 24, 4), 1.5, 1.5);
    painter.drawRoundedRect(QRectF(2, 2, 52, 34), 3, 3);
    const QRectF screen(5, 5, 46, 28);
    auto landscape = [&painter](const QRectF& area) {
        QLinearGradient sky(area.topLeft(), area.bottomLeft());
        sky.setColorAt(0, QColor(91, 143, 214));
        sky.setColorAt(1, QColor(216, 232, 250));
        painter.fillRect(area, sky);
        QPainterPath hill;
        hill.moveTo(area.left(), area.bottom());
        hill.lineTo(area.left(), area.top() + area.height() * 0.7);
        hill.quadTo(area.left() + area.width() * 0.35, area.top() + area.height() * 0.35,
                    area.left() + area.width() * 0.7, area.top() + area.height() * 0.65);
        hill.quadTo(area.right() - area.width() * 0.1, area.top() + area.height() * 0.55,
                    area.right(), area.top() + area.height() * 0.6);
        hill.lineTo(area.right(), area.bottom());
        painter.fillPath(hill, QColor(61, 122, 42));
    };
    switch (kind) {
    case Kind::Viewer: {
        painter.fillRect(screen, QColor(40, 40, 40));
        for (int i = 0; i < 4; ++i)
            landscape(QRectF(7, 7 + i * 6.5, 8, 5));
        landscape(QRectF(18, 8, 31, 23));
        break;
    }
    case Kind::Screensaver: {
        painter.fillRect(screen, QColor(12, 18, 48));
        painter.setPen(Qt::NoPen);
        const QPointF stars[] = {{10, 9},  {20, 13}, {33, 8},  {45, 11}, {14, 24},
                                 {27, 21}, {40, 27}, {47, 22}, {9, 30},  {31, 29}};
        for (const QPointF& star : stars) {
            painter.setBrush(QColor(255, 255, 255, 210));
            painter.drawEllipse(star, 1.1, 1.1);
        }
        painter.setBrush(QColor(255, 230, 120));
        painter.drawEllipse(QPointF(24, 16), 4.5, 4.5);
        painter.setBrush(QColor(12, 18, 48));
        painter.drawEllipse(QPointF(26.5, 14.5), 4, 4);
        break;
    }
    case Kind::Slideshow: {
        landscape(screen);
        QPainterPath play;
        play.moveTo(24, 13);
        play.lineTo(33, 19);
        play.lineTo(24, 25);
        play.closeSubpath();
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 90));
        painter.drawEllipse(QPointF(27.5, 19), 8, 8);
        painter.fillPath(play, QColor(255, 255, 255, 230));
        break;
    }
    }
    return pixmap;
}

// A short piece of file work off the window's thread: copying a program, filling it in, or
// packing an installer. The window learns of its end through WM_FILE_JOB_DONE.
class FileJobThread final : public WorkerThread
{
public:
    using Body = std::function<void(const std::atomic<int>& cancel)>;

    FileJobThread(WindowMessenger::Handler handler, Body body)
        : WorkerThread(std::move(handler)), mBody(std::move(body))
    {}
    ~FileJobThread() override { stop(); }

    // Once the thread was stopped: whether the body ran to its end.
    bool completed() const { return mCompleted.load(); }

protected:
    // The body records its own failure; the window is told of the end whatever happened.
    void execute() override
    {
        mBody(cancelFlag());
        mCompleted = true;
        send(WM_FILE_JOB_DONE);
    }

private:
    const Body mBody;
    std::atomic<bool> mCompleted = false;
};

} // namespace

// What a file job reports; written by its thread, read by the window once the thread ended.
struct TfrmCreateAlbumEXE::FileJob
{
    std::function<void(FileJob&, const std::atomic<int>&)> body;
    bool ok = false;
    QString error;  // the system's reason when not ok
    QString output; // the file the photos go into
    bool temporaryFailed = false;
};

struct TfrmCreateAlbumEXE::Private
{
    // Page 0
    QWidget* tbIntro = nullptr;
    QLabel* lblSelectFileType = nullptr;
    QLabel* lblIntro = nullptr;
    QLabel* lblFileKind = nullptr;
    QLabel* imAlbum = nullptr;
    QLabel* imScreenSaver = nullptr;
    QLabel* imSlideShow = nullptr;
    QRadioButton* rbAlbum = nullptr;
    QRadioButton* rbScreenSaver = nullptr;
    QRadioButton* rbSlideShow = nullptr;
    QPushButton* btnNext = nullptr;

    // Page 1
    QWidget* tbGeneral = nullptr;
    QLabel* lblFileInfo = nullptr;
    QLabel* lblAlbumTitle = nullptr;
    QLineEdit* edTitle = nullptr;
    QLabel* lblCreator = nullptr;
    QLineEdit* edCompany = nullptr;
    QLabel* lblComments = nullptr;
    QPlainTextEdit* mmComments = nullptr;
    QLabel* lblOptimizeRes = nullptr;
    QComboBox* cmbOptimizeRes = nullptr;
    QLabel* lblBestQuality = nullptr;
    QPushButton* btnPrev = nullptr;
    QPushButton* btnCreate = nullptr;

    // Page 2
    QWidget* tbStatus = nullptr;
    QLabel* lblStatus = nullptr;
    QWidget* pnStatus = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* lblPct = nullptr;
    QPushButton* btnCancel = nullptr;
    QWidget* pnResult = nullptr;
    QLabel* lblResult = nullptr;
    QWidget* pnFinishOptions = nullptr;
    QLabel* lblExOpenFolder = nullptr;
    QToolButton* btnExOpenFolder = nullptr;
    QLabel* lblExSSSetDefault = nullptr;
    QToolButton* btnExSSSetDefault = nullptr;
    QLabel* lblExSSCreateInstaller = nullptr;
    QToolButton* btnExSSCreateInstaller = nullptr;
    QPushButton* btnClose = nullptr;

    TScreenResolutionList resolutions;
    QStringList files;
    bool slideshow = false;
    QString targetFileName;
    QString temporaryFileName;
    QString lastFolder;
    QSize box;

    // What the export writes, taken when Create is clicked.
    QString output;
    QString title;
    QString company;

    std::unique_ptr<album::TResizeImageThread> worker;
    // Bumped whenever the export is stopped, so that a result it had queued is dropped.
    int exportSerial = 0;

    std::unique_ptr<FileJobThread> fileJobThread;
    std::shared_ptr<FileJob> fileJob;
    void (TfrmCreateAlbumEXE::*fileJobThen)() = nullptr;
    int fileJobSerial = 0;
    std::optional<WaitCursor> busyCursor;
};

TfrmCreateAlbumEXE::TfrmCreateAlbumEXE(QWidget* parent, const TfrmPics* pics)
    : TfrmWizard(parent), d(std::make_unique<Private>())
{
    setObjectName(QStringLiteral("frmCreateAlbumEXE"));
    buildIntroPage();
    buildGeneralPage();
    buildStatusPage();
    resize(kPageArea);
    FormCreate();
    SetWizardSteps(
        GetText(TextExportPhotos),
        {GetText(TextSelectFileType), GetText(TextEditFileInformation), GetText(TextExportPhotos)},
        pics ? &pics->imExport : &wizard::artwork::exportPhotos());
}

TfrmCreateAlbumEXE::~TfrmCreateAlbumEXE()
{
    stopExport();
    stopFileJob();
    discardTemporaryFile();
}

void TfrmCreateAlbumEXE::buildIntroPage()
{
    d->tbIntro = namedPanel(nullptr, "tbIntro");
    QVBoxLayout* layout = pageLayout(d->tbIntro);
    d->lblSelectFileType = makeLabel(d->tbIntro, "lblSelectFileType", true);
    d->lblIntro = makeLabel(d->tbIntro, "lblIntro", false, true);
    d->lblFileKind = makeLabel(d->tbIntro, "lblFileKind", true, true);
    layout->addWidget(d->lblSelectFileType);
    layout->addWidget(d->lblIntro);
    layout->addSpacing(10);
    layout->addWidget(d->lblFileKind);

    auto* kinds = new QGridLayout;
    kinds->setContentsMargins(8, 4, 0, 0);
    kinds->setHorizontalSpacing(12);
    kinds->setVerticalSpacing(10);
    const qreal ratio = devicePixelRatioF();
    auto addKind = [&](int row, Kind kind, const char* pictureName, const char* buttonName,
                       QLabel*& picture, QRadioButton*& button) {
        picture = makeLabel(d->tbIntro, pictureName);
        picture->setPixmap(kindPicture(kind, ratio));
        button = new QRadioButton(d->tbIntro);
        button->setObjectName(QLatin1String(buttonName));
        kinds->addWidget(picture, row, 0);
        kinds->addWidget(button, row, 1);
    };
    addKind(0, Kind::Viewer, "imAlbum", "rbAlbum", d->imAlbum, d->rbAlbum);
    addKind(1, Kind::Screensaver, "imScreenSaver", "rbScreenSaver", d->imScreenSaver,
            d->rbScreenSaver);
    addKind(2, Kind::Slideshow, "imSlideShow", "rbSlideShow", d->imSlideShow, d->rbSlideShow);
    kinds->setColumnStretch(1, 1);
    layout->addLayout(kinds);
    layout->addStretch(1);
    d->rbAlbum->setChecked(true);
    d->btnNext = makeButton(d->tbIntro, "btnNext");
    layout->addLayout(buttonRow({d->btnNext}));

    connect(d->btnNext, &QPushButton::clicked, this, &TfrmCreateAlbumEXE::btnNextClick);
    PageControl1->addWidget(d->tbIntro);
}

void TfrmCreateAlbumEXE::buildGeneralPage()
{
    d->tbGeneral = namedPanel(nullptr, "tbGeneral");
    QVBoxLayout* layout = pageLayout(d->tbGeneral);
    d->lblFileInfo = makeLabel(d->tbGeneral, "lblFileInfo", true);
    layout->addWidget(d->lblFileInfo);

    auto* fields = new QGridLayout;
    fields->setContentsMargins(8, 0, 0, 0);
    fields->setHorizontalSpacing(10);
    d->lblAlbumTitle = makeLabel(d->tbGeneral, "lblAlbumTitle");
    d->edTitle = new QLineEdit(d->tbGeneral);
    d->edTitle->setObjectName(QStringLiteral("edTitle"));
    d->edTitle->setMaxLength(kTitleLength);
    d->lblCreator = makeLabel(d->tbGeneral, "lblCreator");
    d->edCompany = new QLineEdit(d->tbGeneral);
    d->edCompany->setObjectName(QStringLiteral("edCompany"));
    d->edCompany->setMaxLength(kTitleLength);
    d->lblComments = makeLabel(d->tbGeneral, "lblComments");
    d->mmComments = new QPlainTextEdit(d->tbGeneral);
    d->mmComments->setObjectName(QStringLiteral("mmComments"));
    d->mmComments->setTabChangesFocus(true);
    d->mmComments->setFixedHeight(72);
    fields->addWidget(d->lblAlbumTitle, 0, 0);
    fields->addWidget(d->edTitle, 0, 1);
    fields->addWidget(d->lblCreator, 1, 0);
    fields->addWidget(d->edCompany, 1, 1);
    fields->addWidget(d->lblComments, 2, 0, Qt::AlignTop);
    fields->addWidget(d->mmComments, 2, 1);
    fields->setColumnStretch(1, 1);
    layout->addLayout(fields);
    layout->addSpacing(12);

    d->lblOptimizeRes = makeLabel(d->tbGeneral, "lblOptimizeRes", true);
    layout->addWidget(d->lblOptimizeRes);
    auto* resolution = new QVBoxLayout;
    resolution->setContentsMargins(8, 0, 0, 0);
    resolution->setSpacing(4);
    d->cmbOptimizeRes = new QComboBox(d->tbGeneral);
    d->cmbOptimizeRes->setObjectName(QStringLiteral("cmbOptimizeRes"));
    d->cmbOptimizeRes->setMinimumWidth(160);
    auto* row = new QHBoxLayout;
    row->addWidget(d->cmbOptimizeRes);
    row->addStretch(1);
    resolution->addLayout(row);
    d->lblBestQuality = makeLabel(d->tbGeneral, "lblBestQuality", false, true);
    resolution->addWidget(d->lblBestQuality);
    layout->addLayout(resolution);
    layout->addStretch(1);
    d->btnPrev = makeButton(d->tbGeneral, "btnPrev");
    d->btnCreate = makeButton(d->tbGeneral, "btnCreate");
    layout->addLayout(buttonRow({d->btnPrev, d->btnCreate}));

    // Typing and pasting alike stop at the limit.
    connect(d->mmComments, &QPlainTextEdit::textChanged, this, [this] {
        QPlainTextEdit* memo = d->mmComments;
        const QString text = memo->toPlainText();
        if (text.size() <= kCommentsLength)
            return;
        const int position = qMin(memo->textCursor().position(), kCommentsLength);
        memo->setPlainText(text.left(kCommentsLength));
        QTextCursor cursor = memo->textCursor();
        cursor.setPosition(position);
        memo->setTextCursor(cursor);
    });
    connect(d->btnPrev, &QPushButton::clicked, this, &TfrmCreateAlbumEXE::btnPrevClick);
    connect(d->btnCreate, &QPushButton::clicked, this, &TfrmCreateAlbumEXE::btnCreateClick);
    PageControl1->addWidget(d->tbGeneral);
}

void TfrmCreateAlbumEXE::buildStatusPage()
{
    d->tbStatus = namedPanel(nullptr, "tbStatus");
    auto* rows = new QVBoxLayout(d->tbStatus);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);

    auto* heading = new QVBoxLayout;
    heading->setContentsMargins(14, 12, 14, 0);
    d->lblStatus = makeLabel(d->tbStatus, "lblStatus", true);
    heading->addWidget(d->lblStatus);
    rows->addLayout(heading);

    d->pnStatus = namedPanel(d->tbStatus, "pnStatus");
    QVBoxLayout* status = pageLayout(d->pnStatus);
    auto* bar = new QHBoxLayout;
    d->ProgressBar1 = new QProgressBar(d->pnStatus);
    d->ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    d->ProgressBar1->setTextVisible(false);
    d->ProgressBar1->setFixedHeight(18);
    d->lblPct = makeLabel(d->pnStatus, "lblPct");
    d->lblPct->setMinimumWidth(40);
    bar->addWidget(d->ProgressBar1, 1);
    bar->addWidget(d->lblPct);
    status->addLayout(bar);
    status->addStretch(1);
    d->btnCancel = makeButton(d->pnStatus, "btnCancel");
    status->addLayout(buttonRow({d->btnCancel}));
    rows->addWidget(d->pnStatus, 1);

    d->pnResult = namedPanel(d->tbStatus, "pnResult");
    QVBoxLayout* result = pageLayout(d->pnResult);
    d->lblResult = makeLabel(d->pnResult, "lblResult", false, true);
    d->lblResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    result->addWidget(d->lblResult);
    result->addSpacing(10);
    d->pnFinishOptions = namedPanel(d->pnResult, "pnFinishOptions");
    auto* options = new QGridLayout(d->pnFinishOptions);
    options->setContentsMargins(0, 0, 0, 0);
    options->setHorizontalSpacing(6);
    options->setVerticalSpacing(4);
    d->btnExOpenFolder = makeOptionButton(d->pnFinishOptions, "btnExOpenFolder", "folder-open",
                                          QStyle::SP_DirOpenIcon);
    d->lblExOpenFolder = makeLink(d->pnFinishOptions, "lblExOpenFolder");
    d->btnExSSSetDefault = makeOptionButton(d->pnFinishOptions, "btnExSSSetDefault",
                                            "video-display", QStyle::SP_ComputerIcon);
    d->lblExSSSetDefault = makeLink(d->pnFinishOptions, "lblExSSSetDefault");
    d->btnExSSCreateInstaller = makeOptionButton(d->pnFinishOptions, "btnExSSCreateInstaller",
                                                 "system-software-install", QStyle::SP_DriveFDIcon);
    d->lblExSSCreateInstaller = makeLink(d->pnFinishOptions, "lblExSSCreateInstaller");
    options->addWidget(d->btnExOpenFolder, 0, 0);
    options->addWidget(d->lblExOpenFolder, 0, 1);
    options->addWidget(d->btnExSSSetDefault, 1, 0);
    options->addWidget(d->lblExSSSetDefault, 1, 1);
    options->addWidget(d->btnExSSCreateInstaller, 2, 0);
    options->addWidget(d->lblExSSCreateInstaller, 2, 1);
    options->setColumnStretch(1, 1);
    result->addWidget(d->pnFinishOptions);
    result->addStretch(1);
    d->btnClose = makeButton(d->pnResult, "btnClose");
    result->addLayout(buttonRow({d->btnClose}));
    rows->addWidget(d->pnResult, 1);
    d->pnResult->hide();

    connect(d->btnCancel, &QPushButton::clicked, this, &TfrmCreateAlbumEXE::btnCancelClick);
    connect(d->btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(d->lblExOpenFolder, &QLabel::linkActivated, this,
            &TfrmCreateAlbumEXE::lblExOpenFolderClick);
    connect(d->btnExOpenFolder, &QToolButton::clicked, this,
            &TfrmCreateAlbumEXE::lblExOpenFolderClick);
    connect(d->lblExSSSetDefault, &QLabel::linkActivated, this,
            &TfrmCreateAlbumEXE::lblExSSSetDefaultClick);
    connect(d->btnExSSSetDefault, &QToolButton::clicked, this,
            &TfrmCreateAlbumEXE::lblExSSSetDefaultClick);
    connect(d->lblExSSCreateInstaller, &QLabel::linkActivated, this,
            &TfrmCreateAlbumEXE::lblExSSCreateInstallerClick);
    connect(d->btnExSSCreateInstaller, &QToolButton::clicked, this,
            &TfrmCreateAlbumEXE::lblExSSCreateInstallerClick);
    PageControl1->addWidget(d->tbStatus);
}

void TfrmCreateAlbumEXE::FormCreate()
{
    d->resolutions = TScreenResolutionList::standard();
    // The pictures are made for the screen's real pixels, not its scaled ones.
    int selected = -1;
    if (const QScreen* shown = screen()) {
        const QSize pixels = shown->size() * shown->devicePixelRatio();
        selected = d->resolutions.addScreen(pixels.width(), pixels.height());
    }
    for (int i = 0; i < d->resolutions.count(); ++i)
        d->cmbOptimizeRes->addItem(d->resolutions.at(i).caption());
    d->cmbOptimizeRes->setCurrentIndex(selected);
}

void TfrmCreateAlbumEXE::ApplyTexts()
{
    d->lblSelectFileType->setText(GetText(TextSelectFileType));
    d->lblIntro->setText(GetText(TextIntro));
    d->lblFileKind->setText(GetText(TextFileKind));
    d->rbAlbum->setText(GetText(TextPhotoViewer));
    d->rbScreenSaver->setText(GetText(TextScreensaver));
    d->rbSlideShow->setText(GetText(TextSlideshow));
    d->lblFileInfo->setText(GetText(TextFileInformation));
    d->lblAlbumTitle->setText(GetText(TextTitle));
    d->lblCreator->setText(GetText(TextCreator));
    d->lblComments->setText(GetText(TextComments));
    d->lblOptimizeRes->setText(GetText(TextResolution));
    d->lblBestQuality->setText(QLatin1Char('(') + GetText(TextBestQuality) + QLatin1Char(')'));
    d->btnCreate->setText(GetText(TextCreate));
    d->btnNext->setText(nextButtonText());
    d->btnPrev->setText(previousButtonText());
    d->lblStatus->setText(GetText(TextStatus));
    d->btnCancel->setText(GetText(TextCancel));
    d->btnClose->setText(GetText(TextClose));
    setLinkText(d->lblExOpenFolder, GetText(TextOpenFolder));
    setLinkText(d->lblExSSSetDefault, GetText(TextSetScreensaver));
    setLinkText(d->lblExSSCreateInstaller, GetText(TextCreateInstaller));
    d->btnExOpenFolder->setToolTip(GetText(TextOpenFolder));
    d->btnExSSSetDefault->setToolTip(GetText(TextSetScreensaver));
    d->btnExSSCreateInstaller->setToolTip(GetText(TextCreateInstaller));
}

void TfrmCreateAlbumEXE::showEvent(QShowEvent* event)
{
    TfrmWizard::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmCreateAlbumEXE::FormShow()
{
    // The creator stays from one export to the next; title and comments belong to one.
    d->edTitle->clear();
    d->mmComments->clear();
    (d->slideshow ? d->rbScreenSaver : d->rbAlbum)->setChecked(true);
}

void TfrmCreateAlbumEXE::SetPhotoFiles(const QStringList& files)
{
    d->files = files;
}

const QStringList& TfrmCreateAlbumEXE::photoFiles() const
{
    return d->files;
}

QString TfrmCreateAlbumEXE::targetFileName() const
{
    return d->targetFileName;
}

bool TfrmCreateAlbumEXE::isBusy() const
{
    return d->worker || d->fileJobThread;
}

void TfrmCreateAlbumEXE::btnNextClick()
{
    setActivePageIndex(ActivePageIndex() + 1);
    d->slideshow = d->rbScreenSaver->isChecked() || d->rbSlideShow->isChecked();
}

void TfrmCreateAlbumEXE::btnPrevClick()
{
    setActivePageIndex(ActivePageIndex() - 1);
}

QString TfrmCreateAlbumEXE::askExportFileName()
{
    QFileDialog dialog(this, GetText(TextExportPhotos));
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(d->lastFolder.isEmpty() ? QDir::homePath() : d->lastFolder);
    // Programs go without an extension, as on any Linux desktop; the screensaver keeps its own.
    const QString screensaverFilter = GetText(TextScreensaver) + QStringLiteral(" (*.scr)");
    if (d->slideshow) {
        const QString programFilter = GetText(TextSlideshow) + QStringLiteral(" (*)");
        dialog.setNameFilters({screensaverFilter, programFilter});
        const bool screensaver = d->rbScreenSaver->isChecked();
        dialog.selectNameFilter(screensaver ? screensaverFilter : programFilter);
        dialog.setDefaultSuffix(screensaver ? QStringLiteral("scr") : QString());
    } else {
        dialog.setNameFilters({GetText(TextPhotoViewer) + QStringLiteral(" (*)")});
    }
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        dialog.setDefaultSuffix(filter == screensaverFilter ? QStringLiteral("scr") : QString());
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString fileName = dialog.selectedFiles().constFirst();
    d->lastFolder = QFileInfo(fileName).absolutePath();
    return fileName;
}

QString TfrmCreateAlbumEXE::readyMadeProgram(const QString& name)
{
    const QString path = programDataFile(name);
    if (QFileInfo::exists(path))
        return path;
    showMessage(this, QMessageBox::Critical, GetText(TextFileNotFound) + QLatin1Char('\n') + path,
                "FileNotFound");
    return {};
}

void TfrmCreateAlbumEXE::btnCreateClick()
{
    const int chosen = d->cmbOptimizeRes->currentIndex();
    if (chosen < 0 || isBusy())
        return;
    d->box = exportDisplayBox(d->resolutions.at(chosen), d->slideshow);

    // The output is built here and copied to the target only when it is complete, so that a
    // cancelled or failed export leaves the target alone. The empty file keeps the name ours.
    discardTemporaryFile();
    {
        QTemporaryFile reserved(QDir(QDir::tempPath()).filePath(QStringLiteral("vfdXXXXXX")));
        reserved.setAutoRemove(false);
        if (reserved.open())
            d->temporaryFileName = reserved.fileName();
    }

    const QString target = askExportFileName();
    if (target.isEmpty()) {
        discardTemporaryFile();
        return;
    }
    d->targetFileName = target;
    const QString source = readyMadeProgram(QStringLiteral("VIEWERDATA.dat"));
    if (source.isEmpty()) {
        discardTemporaryFile();
        return;
    }

    d->title = d->edTitle->text().trimmed();
    d->company = d->edCompany->text().trimmed();
    const QString comments = d->mmComments->toPlainText().trimmed();
    d->output.clear();
    d->ProgressBar1->setRange(0, qMax(1, int(d->files.size())));
    d->ProgressBar1->setValue(0);

    auto job = std::make_shared<FileJob>();
    job->body = [source, target, temporary = d->temporaryFileName, title = d->title,
                 company = d->company, comments, noRoom = GetText(TextNoVersionArea),
                 reserved = album::reservedBlockCount(int(d->files.size()), d->slideshow)](
                    FileJob& result, const std::atomic<int>& cancel) {
        CopyFileFailure failure;
        QString output = temporary;
        bool copied = false;
        if (!temporary.isEmpty()) {
            copied = CopyFileReadOnlySafe(source, temporary, false, {}, &cancel, &failure);
            result.temporaryFailed = !copied;
        }
        if (!copied) {
            output = target;
            copied = CopyFileReadOnlySafe(source, target, false, {}, &cancel, &failure);
        }
        if (!copied) {
            result.error = failure.text;
            return;
        }
        try {
            // Without its area the program would carry none of the user's file information.
            if (!album::WriteVersionInfo(localName(output), title.toStdString(),
                                         comments.toStdString(), company.toStdString())) {
                result.error = noRoom;
                return;
            }
            album::BeginViewerFile(localName(output), reserved);
        } catch (const std::exception& error) {
            result.error = reasonOf(error);
            return;
        }
        result.output = output;
        result.ok = true;
    };
    d->tbGeneral->setEnabled(false);
    d->busyCursor.emplace();
    runFileJob(job, &TfrmCreateAlbumEXE::prepared);
}

void TfrmCreateAlbumEXE::prepared()
{
    const std::shared_ptr<FileJob> job = d->fileJob;
    d->busyCursor.reset();
    d->tbGeneral->setEnabled(true);
    if (job->temporaryFailed)
        discardTemporaryFile();
    if (!job->ok) {
        showMessage(this, QMessageBox::Critical, notCreatedText(job->error), "OutputNotCreated");
        return;
    }
    d->output = job->output;

    album::ExportJob exportJob;
    exportJob.outputFile = d->output;
    exportJob.files = d->files;
    exportJob.slideshow = d->slideshow;
    exportJob.box = d->box;
    d->worker = std::make_unique<album::TResizeImageThread>(
        [this](const WindowMessage& message) { return exportWindowProc(message); },
        std::move(exportJob));
    d->lblPct->setText(QStringLiteral("0%"));
    d->btnCancel->setEnabled(true);
    d->pnResult->hide();
    d->pnStatus->show();
    setActivePageIndex(ActivePageIndex() + 1);
    if (!d->worker->start()) {
        d->worker.reset();
        showResult(GetText(TextNotCreated), false);
    }
}

qintptr TfrmCreateAlbumEXE::exportWindowProc(const WindowMessage& message)
{
    if (message.id != album::WM_EXPORT_PROGRESS || !d->worker)
        return 0;
    const int count = int(d->files.size());
    const int index = int(message.wParam);
    if (index >= 0 && index < count) {
        d->ProgressBar1->setValue(index);
        d->lblPct->setText(QString::number(album::progressPercent(index, count)) +
                           QLatin1Char('%'));
        d->worker->setCurrentFile(d->files.at(index));
        return 0;
    }
    // The worker ends once this returns; the window takes over outside its message.
    const int serial = d->exportSerial;
    if (index == -1) {
        // The reason names the file that failed, which may be the temporary one: then it is
        // the temporary folder's disk that is full, not the target's.
        QString reason = d->worker->failure();
        QTimer::singleShot(
            0, this, [this, serial, reason = std::move(reason)] { exportFailed(serial, reason); });
    } else {
        const int pictures = d->worker->picturesWritten();
        QTimer::singleShot(0, this, [this, serial, pictures] { exportDone(serial, pictures); });
    }
    return 0;
}

void TfrmCreateAlbumEXE::exportFailed(int serial, const QString& reason)
{
    if (serial != d->exportSerial)
        return;
    stopExport();
    showResult(notCreatedText(reason), false);
}

void TfrmCreateAlbumEXE::exportDone(int serial, int pictures)
{
    if (serial != d->exportSerial)
        return;
    stopExport();
    d->ProgressBar1->setValue(d->ProgressBar1->maximum());
    d->lblPct->setText(QStringLiteral("100%"));

    auto job = std::make_shared<FileJob>();
    job->body = [output = d->output, target = d->targetFileName,
                 viaTemporary = d->output != d->targetFileName, title = d->title,
                 slideshow = d->slideshow,
                 pictures](FileJob& result, const std::atomic<int>& cancel) {
        const std::string file = localName(output);
        try {
            const std::uint8_t flag = slideshow ? 1 : 0;
            const QByteArray titleBytes = title.toUtf8();
            bool added = album::AddViewerNumber16(file, "VELKO_NRPICS", std::uint16_t(pictures));
            if (added && !title.isEmpty())
                added = album::AddViewerText(file, "VELKO_TITLE", titleBytes.toStdString());
            if (added)
                added = album::AddViewerResource(file, "VELKO_SLIDESHOW", &flag, 1);
            // False only when another container was begun meanwhile: no reason to give.
            if (!added)
                return;
        } catch (const std::exception& error) {
            result.error = reasonOf(error);
            return;
        }
        if (viaTemporary) {
            CopyFileFailure failure;
            if (!CopyFileReadOnlySafe(output, target, false, {}, &cancel, &failure)) {
                result.error = failure.text;
                return;
            }
        }
        result.ok = makeProgram(target, result.error);
    };
    runFileJob(job, &TfrmCreateAlbumEXE::finished);
}

void TfrmCreateAlbumEXE::finished()
{
    const std::shared_ptr<FileJob> job = d->fileJob;
    if (job->ok)
        showResult(GetText(TextCreated), true);
    else
        showResult(notCreatedText(job->error), false);
}

void TfrmCreateAlbumEXE::showResult(const QString& text, bool success)
{
    d->lblResult->setText(text);
    d->pnStatus->hide();
    if (success) {
        const bool screensaver = album::offersScreensaverOptions(d->slideshow, d->targetFileName);
        for (QWidget* option : {static_cast<QWidget*>(d->lblExSSSetDefault),
                                static_cast<QWidget*>(d->btnExSSSetDefault),
                                static_cast<QWidget*>(d->lblExSSCreateInstaller),
                                static_cast<QWidget*>(d->btnExSSCreateInstaller)})
            option->setVisible(screensaver);
    }
    d->pnFinishOptions->setVisible(success);
    d->pnResult->show();
    emit resultShown();
}

void TfrmCreateAlbumEXE::btnCancelClick()
{
    d->btnCancel->setEnabled(false);
    {
        WaitCursor wait;
        stopExport();
        // The last copy may have ended just now: then the file is there and complete.
        if (d->fileJobThread && stopFileJob()) {
            finished();
            return;
        }
    }
    showResult(GetText(TextCancelled), false);
}

void TfrmCreateAlbumEXE::stopExport()
{
    ++d->exportSerial;
    d->worker.reset(); // stops it: terminate flag, cancel byte, wait for its end
}

void TfrmCreateAlbumEXE::done(int result)
{
    {
        WaitCursor wait;
        stopExport();
        stopFileJob();
    }
    d->busyCursor.reset();
    d->tbGeneral->setEnabled(true);
    discardTemporaryFile();
    album::EndViewerFile();
    TfrmWizard::done(result);
}

void TfrmCreateAlbumEXE::discardTemporaryFile()
{
    if (d->temporaryFileName.isEmpty())
        return;
    QFile::remove(d->temporaryFileName);
    d->temporaryFileName.clear();
}

void TfrmCreateAlbumEXE::runFileJob(std::shared_ptr<FileJob> job,
                                    void (TfrmCreateAlbumEXE::*then)())
{
    d->fileJob = job;
    d->fileJobThen = then;
    ++d->fileJobSerial;
    d->fileJobThread = std::make_unique<FileJobThread>(
        [this](const WindowMessage& message) { return fileJobWindowProc(message); },
        [job](const std::atomic<int>& cancel) noexcept {
            try {
                job->body(*job, cancel);
            } catch (const std::exception& error) {
                job->ok = false;
                job->error = reasonOf(error);
            } catch (...) {
                job->ok = false;
                job->error.clear();
            }
        });
    if (!d->fileJobThread->start()) {
        // A thread is refused for want of resources; the window goes on without one.
        d->fileJobThread.reset();
        job->ok = false;
        job->error = QString::fromLocal8Bit(std::strerror(EAGAIN));
        if (auto next = std::exchange(d->fileJobThen, nullptr))
            (this->*next)();
    }
}

qintptr TfrmCreateAlbumEXE::fileJobWindowProc(const WindowMessage& message)
{
    if (message.id == WM_FILE_JOB_DONE) {
        const int serial = d->fileJobSerial;
        QTimer::singleShot(0, this, [this, serial] { fileJobEnded(serial); });
    }
    return 0;
}

void TfrmCreateAlbumEXE::fileJobEnded(int serial)
{
    if (serial != d->fileJobSerial || !d->fileJobThread)
        return;
    d->fileJobThread.reset();
    if (auto then = std::exchange(d->fileJobThen, nullptr))
        (this->*then)();
}

bool TfrmCreateAlbumEXE::stopFileJob()
{
    ++d->fileJobSerial;
    d->fileJobThen = nullptr;
    if (!d->fileJobThread)
        return false;
    d->fileJobThread->stop();
    const bool completed = d->fileJobThread->completed();
    d->fileJobThread.reset();
    return completed;
}

void TfrmCreateAlbumEXE::lblExOpenFolderClick()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(d->targetFileName).absolutePath()));
}

void TfrmCreateAlbumEXE::lblExSSSetDefaultClick()
{
    if (isBusy())
        return;
    QMessageBox box(QMessageBox::Question, QLatin1String(kApplicationTitle),
                    GetText(TextAskScreensaver), QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("ConfirmScreensaver"));
    QPushButton* yes = box.addButton(GetText(TextYes), QMessageBox::YesRole);
    QPushButton* no = box.addButton(GetText(TextNo), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    if (box.clickedButton() != yes)
        return;

    auto job = std::make_shared<FileJob>();
    job->body = [target = d->targetFileName,
                 title = album::installerTitle(d->title, d->targetFileName)](
                    FileJob& result, const std::atomic<int>& cancel) {
        // A copy of its own, so that the screensaver stays when the user tidies the export away.
        QString program = target;
        const QString folder = QString::fromStdString(album::screensaverFolder().string());
        const QString copy =
            QDir(folder).filePath(QStringLiteral("ss") + QFileInfo(target).fileName());
        QString ignored;
        if (QDir().mkpath(folder) && CopyFileReadOnlySafe(target, copy, false, {}, &cancel) &&
            makeProgram(copy, ignored))
            program = copy;
        // Without a settings file the user still picks it in the settings program; a settings
        // file that cannot be read or replaced is the user's to hear of.
        try {
            album::registerScreensaver(localName(program), title.toStdString(), true);
        } catch (const std::system_error& error) {
            result.error = QString::fromLocal8Bit(album::xscreensaverSettingsPath().string() +
                                                  ": " + error.code().message());
            return;
        }
        result.output = program;
        result.ok = true;
    };
    d->busyCursor.emplace();
    runFileJob(job, &TfrmCreateAlbumEXE::screensaverSet);
}

void TfrmCreateAlbumEXE::screensaverSet()
{
    d->busyCursor.reset();
    if (!d->fileJob->ok) {
        showMessage(this, QMessageBox::Critical, notCreatedText(d->fileJob->error),
                    "ScreensaverNotSet");
        emit finishOptionDone();
        return;
    }
    for (const char* name : {"xscreensaver-settings", "xscreensaver-demo"}) {
        const QString program = QStandardPaths::findExecutable(QLatin1String(name));
        if (!program.isEmpty()) {
            QProcess::startDetached(program, {});
            break;
        }
    }
    emit finishOptionDone();
}

void TfrmCreateAlbumEXE::lblExSSCreateInstallerClick()
{
    if (isBusy())
        return;
    QFileDialog dialog(this, GetText(TextCreateInstaller));
    dialog.setObjectName(QStringLiteral("SaveDialog2"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(QFileInfo(d->targetFileName).absolutePath());
    dialog.setNameFilters({GetText(TextInstallerFiles) + QStringLiteral(" (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString installer = dialog.selectedFiles().constFirst();

    const QString source = readyMadeProgram(QStringLiteral("SSDATA.dat"));
    if (source.isEmpty())
        return;
    d->busyCursor.emplace();

    auto job = std::make_shared<FileJob>();
    job->body = [source, installer, screensaver = d->targetFileName,
                 title = album::installerTitle(d->title, d->targetFileName),
                 creator = album::installerCreator(d->company), cancelled = GetText(TextCancelled)](
                    FileJob& result, const std::atomic<int>& cancel) {
        // Whatever ends the job early, no half installer stays behind to be run.
        struct RemoveUnlessDone
        {
            const QString& path;
            const FileJob& result;
            ~RemoveUnlessDone()
            {
                album::EndViewerFile();
                if (!result.ok)
                    QFile::remove(path);
            }
        };
        CopyFileFailure failure;
        if (!CopyFileReadOnlySafe(source, installer, false, {}, &cancel, &failure)) {
            result.error = cancel.load() != 0 ? cancelled : failure.text;
            return;
        }
        const RemoveUnlessDone guard{installer, result};
        QFile input(screensaver);
        if (!input.open(QIODevice::ReadOnly)) {
            result.error = input.errorString();
            return;
        }
        const std::string file = localName(installer);
        const int pieces = album::installerPieceCount(input.size());
        try {
            album::BeginViewerFile(file, std::uint32_t(pieces) + 4);
            // The Add calls fail only when another container was begun: no reason to give.
            for (int piece = 1; piece <= pieces; ++piece) {
                const QByteArray bytes = input.read(album::kInstallerPieceSize);
                if (cancel.load() != 0) {
                    result.error = cancelled;
                    return;
                }
                if (bytes.isEmpty()) {
                    // A read error has the system's text; a screensaver that shrank has none.
                    if (input.error() != QFileDevice::NoError)
                        result.error = input.errorString();
                    return;
                }
                if (!album::AddViewerResource(file, "VELKOSS" + std::to_string(piece), bytes.data(),
                                              std::size_t(bytes.size())))
                    return;
            }
            const std::string guid =
                QUuid::createUuid().toString(QUuid::WithBraces).toUpper().toStdString();
            if (!album::AddViewerNumber32(file, "VELKOSSN", std::uint32_t(pieces)) ||
                !album::AddViewerText(file, "VELKOSST", title.toStdString()) ||
                !album::AddViewerText(file, "VELKOSSC", creator.toStdString()) ||
                !album::AddViewerText(file, "VELKOSSG", guid))
                return;
        } catch (const std::exception& error) {
            result.error = reasonOf(error);
            return;
        }
        result.ok = makeProgram(installer, result.error);
    };
    runFileJob(job, &TfrmCreateAlbumEXE::installerWritten);
}

void TfrmCreateAlbumEXE::installerWritten()
{
    const std::shared_ptr<FileJob> job = d->fileJob;
    d->busyCursor.reset();
    if (job->ok)
        showMessage(this, QMessageBox::Information, GetText(TextInstallerCreated),
                    "InstallerCreated");
    else
        showMessage(this, QMessageBox::Critical, notCreatedText(job->error), "InstallerNotCreated");
    emit finishOptionDone();
}

#include "TfrmGetPhotos.h"

#include "CopyQuestionDialog.h"
#include "GetPhotosFolders.h"
#include "GetPhotosTexts.h"
#include "ProgramVersion.h"
#include "ShellChangeNotifier.h"
#include "ShellNamespace.h"
#include "TCopyFilesThread.h"
#include "TVelkoDirectoryTreeview.h"
#include "TVelkoImageScroller.h"
#include "TfrmPics.h"
#include "ThumbnailCache.h"
#include "WaitCursor.h"
#include "WizardArtwork.h"
#include "WizardPageWidgets.h"
#include "uLanguage.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

using namespace getphotos;

using namespace wizardpage;

namespace {

const QColor kGridColor(232, 232, 232);
const QColor kGridItemColor(244, 244, 244);
const QColor kGridItemSelectedColor(164, 208, 255);
const QColor kGridUnfocusedSelectedColor(153, 153, 153);

constexpr QSize kPageArea(640, 450);
constexpr int kTreeWidth = 200;
constexpr int kTreeIndent = 19;
constexpr int kSubFolderNameLength = 60;
constexpr int kNrCopiedGap = 8;

// Shows as much of a long path or name as fits, its middle left out; the whole in the hint.
class ElidedLabel : public QLabel
{
public:
    explicit ElidedLabel(QWidget* parent) : QLabel(parent)
    {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        setTextFormat(Qt::PlainText);
    }

    void setFullText(const QString& text)
    {
        mFullText = text;
        setToolTip(text);
        refresh();
    }
    const QString& fullText() const { return mFullText; }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        refresh();
    }

private:
    void refresh() { setText(fontMetrics().elidedText(mFullText, Qt::ElideMiddle, width())); }

    QString mFullText;
};

QString withSlash(const QString& path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

QString withoutSlash(const QString& path)
{
    return path.size() > 1 && path.endsWith(QLatin1Char('/')) ? path.chopped(1) : path;
}

int percent(double part, double whole)
{
    return whole > 0 ? int(std::lround(part * 100.0 / whole)) : 0;
}

ElidedLabel* makeElided(QWidget* parent, const char* name)
{
    auto* label = new ElidedLabel(parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QToolButton* makeSpeedButton(QWidget* parent, const char* name, const char* iconName,
                             QStyle::StandardPixmap fallback)
{
    QToolButton* button =
        makeFlatButton(parent, name, iconName, fallback, QSize(24, 24), QSize(16, 16));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QProgressBar* makeProgressBar(QWidget* parent, const char* name)
{
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 100);
    bar->setTextVisible(false);
    bar->setFixedHeight(18);
    return bar;
}

TVelkoDirectoryTreeview* makeTree(QWidget* parent, const char* name)
{
    auto* tree = new TVelkoDirectoryTreeview(parent);
    tree->setObjectName(QLatin1String(name));
    tree->setIndentation(kTreeIndent);
    QPalette white = tree->palette();
    white.setColor(QPalette::Base, Qt::white);
    tree->setPalette(white);
    return tree;
}

} // namespace

struct TfrmGetPhotos::Private
{
    // tbSource
    QWidget* tbSource = nullptr;
    QWidget* pnIntro = nullptr;
    QLabel* lblIntro = nullptr;
    QLabel* lblBrowse = nullptr;
    QToolButton* btnSelectAll = nullptr;
    QToolButton* btnDeselectAll = nullptr;
    TVelkoDirectoryTreeview* tvSource = nullptr;
    TVelkoImageScroller* VelkoImageScroller1 = nullptr;
    QPushButton* btnNext1 = nullptr;
    // tbDestination
    QWidget* tbDestination = nullptr;
    QLabel* lblSelectDest = nullptr;
    TVelkoDirectoryTreeview* tvDestination = nullptr;
    QWidget* pnSubFolder = nullptr;
    QLabel* lblSubFolder = nullptr;
    QCheckBox* chkSubFolder = nullptr;
    QLineEdit* edSubFolderName = nullptr;
    QPushButton* btnPrev = nullptr;
    QPushButton* btnNext2 = nullptr;
    // tbStatus
    QWidget* tbStatus = nullptr;
    QWidget* pnBusy = nullptr;
    QLabel* lblCopying = nullptr;
    QLabel* lblFrom = nullptr;
    ElidedLabel* lblSource = nullptr;
    QLabel* lblTo = nullptr;
    ElidedLabel* lblDestination = nullptr;
    ElidedLabel* lblFilename = nullptr;
    QProgressBar* pbFile = nullptr;
    QLabel* lblOverallProgress = nullptr;
    QProgressBar* pbOverall = nullptr;
    QLabel* lblFilesCopied = nullptr;
    QLabel* lblNrCopied = nullptr;
    QLabel* imErr = nullptr;
    QLabel* imConf = nullptr;
    QPushButton* btnCancel = nullptr;
    QWidget* pnResult = nullptr;
    QLabel* lblCompleted = nullptr;
    QLabel* lblCanceled = nullptr;
    QLabel* lblLastCopiedFile = nullptr;
    ElidedLabel* lblLastSuccess = nullptr;
    QLabel* lblFilesCopied2 = nullptr;
    QLabel* lblNrCopied2 = nullptr;
    QPushButton* btnClose = nullptr;

    bool driveMode = false;
    int totalFiles = 0;
    int filesStarted = 0;
    int filesCopied = 0;
    // Handlers of the worker's messages now running (a question's own event loop nests them).
    int handling = 0;
    // Declared last, so it is stopped before anything its messages reach goes away.
    std::unique_ptr<TCopyFilesThread> copyThread;
};

TfrmGetPhotos::TfrmGetPhotos(QWidget* parent, const TfrmPics* pics)
    : TfrmWizard(parent), d(std::make_unique<Private>())
{
    setObjectName(QStringLiteral("frmGetPhotos"));
    buildSourcePage();
    buildDestinationPage();
    buildStatusPage();
    resize(kPageArea);

    // FormCreate
    SetWizardSteps(
        GetText(TextTitle),
        {GetText(TextStepSelectPhotos), GetText(TextStepDestination), GetText(TextStepCopy)},
        pics ? &pics->imGetPhotos : &wizard::artwork::getPhotos());
    // The destination starts at My Documents whichever way the program was started, so the
    // wizard never shows an empty destination tree.
    if (QTreeWidgetItem* root = d->tvDestination->ShowRoot(TVelkoDirectoryTreeview::RootDesktop)) {
        root->setExpanded(true);
        if (QTreeWidgetItem* myDocuments = d->tvDestination->SelectMyDocuments())
            myDocuments->setExpanded(true);
        else
            d->tvDestination->setCurrentItem(root);
    }
    d->driveMode = false;
}

TfrmGetPhotos::~TfrmGetPhotos()
{
    stopCopyThread();
    // The pages outlive this part of the window; nothing of theirs may reach it any more.
    d->tvSource->disconnect(this);
    d->lblSubFolder->removeEventFilter(this);
}

void TfrmGetPhotos::buildSourcePage()
{
    d->tbSource = new QWidget;
    d->tbSource->setObjectName(QStringLiteral("tbSource"));
    QVBoxLayout* layout = pageLayout(d->tbSource);

    d->pnIntro = new QWidget(d->tbSource);
    d->pnIntro->setObjectName(QStringLiteral("pnIntro"));
    auto* introLayout = new QVBoxLayout(d->pnIntro);
    introLayout->setContentsMargins(0, 0, 0, 4);
    d->lblIntro = makeLabel(d->pnIntro, "lblIntro", true, true);
    introLayout->addWidget(d->lblIntro);
    layout->addWidget(d->pnIntro);

    auto* browseRow = new QHBoxLayout;
    d->lblBrowse = makeLabel(d->tbSource, "lblBrowse", false, true);
    d->btnSelectAll =
        makeSpeedButton(d->tbSource, "btnSelectAll", "edit-select-all", QStyle::SP_DialogYesButton);
    d->btnDeselectAll =
        makeSpeedButton(d->tbSource, "btnDeselectAll", "edit-clear", QStyle::SP_DialogNoButton);
    browseRow->addWidget(d->lblBrowse, 1, Qt::AlignBottom);
    browseRow->addWidget(d->btnSelectAll, 0, Qt::AlignBottom);
    browseRow->addWidget(d->btnDeselectAll, 0, Qt::AlignBottom);
    layout->addLayout(browseRow);

    auto* panes = new QHBoxLayout;
    panes->setSpacing(6);
    d->tvSource = makeTree(d->tbSource, "tvSource");
    d->tvSource->setFixedWidth(kTreeWidth);
    panes->addWidget(d->tvSource);

    auto* gridFrame = new QFrame(d->tbSource);
    gridFrame->setObjectName(QStringLiteral("pnImageScroller"));
    gridFrame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* gridLayout = new QVBoxLayout(gridFrame);
    gridLayout->setContentsMargins(1, 1, 1, 1);
    d->VelkoImageScroller1 = new TVelkoImageScroller(gridFrame);
    TVelkoImageScroller* grid = d->VelkoImageScroller1;
    grid->setObjectName(QStringLiteral("VelkoImageScroller1"));
    grid->setColor(kGridColor);
    grid->setItemBGColor(kGridItemColor);
    grid->setItemSelectedBGColor(kGridItemSelectedColor);
    grid->setFocusedSelectedColor(Qt::red);
    grid->setUnFocusedSelectedColor(kGridUnfocusedSelectedColor);
    grid->setThumbSize(92);
    grid->setItemBorderWidth(1);
    grid->setPadding(6);
    grid->setSpacing(15);
    gridLayout->addWidget(grid);
    panes->addWidget(gridFrame, 1);
    layout->addLayout(panes, 1);

    d->btnNext1 = makeButton(d->tbSource, "btnNext1");
    layout->addLayout(buttonRow({d->btnNext1}));

    connect(d->tvSource, &TVelkoDirectoryTreeview::OnChange, this, &TfrmGetPhotos::tvSourceChange);
    connect(d->btnSelectAll, &QToolButton::clicked, this, &TfrmGetPhotos::btnSelectAllClick);
    connect(d->btnDeselectAll, &QToolButton::clicked, this, &TfrmGetPhotos::btnDeselectAllClick);
    connect(d->btnNext1, &QPushButton::clicked, this, &TfrmGetPhotos::btnNext1Click);
    PageControl1->addWidget(d->tbSource);
}

void TfrmGetPhotos::buildDestinationPage()
{
    d->tbDestination = new QWidget;
    d->tbDestination->setObjectName(QStringLiteral("tbDestination"));
    QVBoxLayout* layout = pageLayout(d->tbDestination);

    d->lblSelectDest = makeLabel(d->tbDestination, "lblSelectDest", false, true);
    layout->addWidget(d->lblSelectDest);
    d->tvDestination = makeTree(d->tbDestination, "tvDestination");
    layout->addWidget(d->tvDestination, 1);

    d->pnSubFolder = new QWidget(d->tbDestination);
    d->pnSubFolder->setObjectName(QStringLiteral("pnSubFolder"));
    auto* subFolder = new QGridLayout(d->pnSubFolder);
    subFolder->setContentsMargins(0, 4, 0, 4);
    subFolder->setHorizontalSpacing(6);
    d->chkSubFolder = new QCheckBox(d->pnSubFolder);
    d->chkSubFolder->setObjectName(QStringLiteral("chkSubFolder"));
    d->lblSubFolder = makeLabel(d->pnSubFolder, "lblSubFolder");
    // A click on the text toggles the option, as a check box's own caption would.
    d->lblSubFolder->installEventFilter(this);
    d->edSubFolderName = new QLineEdit(d->pnSubFolder);
    d->edSubFolderName->setObjectName(QStringLiteral("edSubFolderName"));
    d->edSubFolderName->setMaxLength(kSubFolderNameLength);
    d->edSubFolderName->setFixedWidth(260);
    subFolder->addWidget(d->chkSubFolder, 0, 0);
    subFolder->addWidget(d->lblSubFolder, 0, 1);
    subFolder->addWidget(d->edSubFolderName, 1, 1, Qt::AlignLeft);
    subFolder->setColumnStretch(1, 1);
    layout->addWidget(d->pnSubFolder);

    d->btnPrev = makeButton(d->tbDestination, "btnPrev");
    d->btnNext2 = makeButton(d->tbDestination, "btnNext2");
    layout->addLayout(buttonRow({d->btnPrev, d->btnNext2}));

    connect(d->chkSubFolder, &QCheckBox::clicked, this, &TfrmGetPhotos::chkSubFolderClick);
    connect(d->btnPrev, &QPushButton::clicked, this, &TfrmGetPhotos::btnPrevClick);
    connect(d->btnNext2, &QPushButton::clicked, this, &TfrmGetPhotos::btnNext2Click);
    PageControl1->addWidget(d->tbDestination);
}

void TfrmGetPhotos::buildStatusPage()
{
    d->tbStatus = new QWidget;
    d->tbStatus->setObjectName(QStringLiteral("tbStatus"));
    auto* pageRows = new QVBoxLayout(d->tbStatus);
    pageRows->setContentsMargins(0, 0, 0, 0);

    d->pnBusy = new QWidget(d->tbStatus);
    d->pnBusy->setObjectName(QStringLiteral("pnBusy"));
    QVBoxLayout* busy = pageLayout(d->pnBusy);
    d->lblCopying = makeLabel(d->pnBusy, "lblCopying", true);
    busy->addWidget(d->lblCopying);
    auto* folders = new QGridLayout;
    folders->setHorizontalSpacing(8);
    d->lblFrom = makeLabel(d->pnBusy, "lblFrom");
    d->lblSource = makeElided(d->pnBusy, "lblSource");
    d->lblTo = makeLabel(d->pnBusy, "lblTo");
    d->lblDestination = makeElided(d->pnBusy, "lblDestination");
    folders->addWidget(d->lblFrom, 0, 0);
    folders->addWidget(d->lblSource, 0, 1);
    folders->addWidget(d->lblTo, 1, 0);
    folders->addWidget(d->lblDestination, 1, 1);
    folders->setColumnStretch(1, 1);
    busy->addLayout(folders);
    busy->addSpacing(10);
    d->lblFilename = makeElided(d->pnBusy, "lblFilename");
    busy->addWidget(d->lblFilename);
    d->pbFile = makeProgressBar(d->pnBusy, "pbFile");
    busy->addWidget(d->pbFile);
    busy->addSpacing(6);
    d->lblOverallProgress = makeLabel(d->pnBusy, "lblOverallProgress");
    busy->addWidget(d->lblOverallProgress);
    d->pbOverall = makeProgressBar(d->pnBusy, "pbOverall");
    busy->addWidget(d->pbOverall);
    auto* count = new QHBoxLayout;
    count->setSpacing(kNrCopiedGap);
    d->lblFilesCopied = makeLabel(d->pnBusy, "lblFilesCopied");
    d->lblNrCopied = makeLabel(d->pnBusy, "lblNrCopied");
    count->addWidget(d->lblFilesCopied);
    count->addWidget(d->lblNrCopied);
    count->addStretch(1);
    busy->addLayout(count);
    // The icons of the two questions, kept here as the window's own pictures.
    d->imErr = makeLabel(d->pnBusy, "imErr");
    d->imErr->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    d->imErr->hide();
    d->imConf = makeLabel(d->pnBusy, "imConf");
    d->imConf->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    d->imConf->hide();
    busy->addStretch(1);
    d->btnCancel = makeButton(d->pnBusy, "btnCancel");
    busy->addLayout(buttonRow({d->btnCancel}));
    pageRows->addWidget(d->pnBusy);

    d->pnResult = new QWidget(d->tbStatus);
    d->pnResult->setObjectName(QStringLiteral("pnResult"));
    QVBoxLayout* result = pageLayout(d->pnResult);
    d->lblCompleted = makeLabel(d->pnResult, "lblCompleted", true);
    d->lblCanceled = makeLabel(d->pnResult, "lblCanceled", true);
    result->addWidget(d->lblCompleted);
    result->addWidget(d->lblCanceled);
    result->addSpacing(10);
    auto* details = new QGridLayout;
    details->setHorizontalSpacing(kNrCopiedGap);
    d->lblLastCopiedFile = makeLabel(d->pnResult, "lblLastCopiedFile");
    d->lblLastSuccess = makeElided(d->pnResult, "lblLastSuccess");
    d->lblFilesCopied2 = makeLabel(d->pnResult, "lblFilesCopied2");
    d->lblNrCopied2 = makeLabel(d->pnResult, "lblNrCopied2");
    details->addWidget(d->lblLastCopiedFile, 0, 0);
    details->addWidget(d->lblLastSuccess, 0, 1);
    details->addWidget(d->lblFilesCopied2, 1, 0);
    details->addWidget(d->lblNrCopied2, 1, 1);
    details->setColumnStretch(1, 1);
    result->addLayout(details);
    result->addStretch(1);
    d->btnClose = makeButton(d->pnResult, "btnClose");
    result->addLayout(buttonRow({d->btnClose}));
    pageRows->addWidget(d->pnResult);
    d->pnResult->hide();

    connect(d->btnCancel, &QPushButton::clicked, this, &TfrmGetPhotos::btnCancelClick);
    connect(d->btnClose, &QPushButton::clicked, this, &QDialog::accept);
    PageControl1->addWidget(d->tbStatus);
}

void TfrmGetPhotos::ApplyTexts()
{
    d->lblIntro->setText(GetText(TextIntro));
    d->lblBrowse->setText(GetText(TextBrowse));
    d->btnSelectAll->setToolTip(GetText(TextSelectAll));
    d->btnSelectAll->setAccessibleName(GetText(TextSelectAll));
    d->btnDeselectAll->setToolTip(GetText(TextDeselectAll));
    d->btnDeselectAll->setAccessibleName(GetText(TextDeselectAll));
    d->VelkoImageScroller1->setNoItemsText(GetText(TextNoPhotosInFolder));
    d->btnNext1->setText(nextButtonText());

    d->lblSelectDest->setText(GetText(TextSelectDestination));
    d->lblSubFolder->setText(GetText(TextSubFolder));
    d->chkSubFolder->setAccessibleName(GetText(TextSubFolder));
    d->btnPrev->setText(previousButtonText());
    d->btnNext2->setText(nextButtonText());

    d->lblCopying->setText(GetText(TextCopying));
    d->lblFrom->setText(GetText(TextFrom));
    d->lblTo->setText(GetText(TextTo));
    d->lblOverallProgress->setText(GetText(TextOverallProgress));
    d->lblFilesCopied->setText(GetText(TextFilesCopied));
    d->btnCancel->setText(GetText(TextCancel));
    d->lblCompleted->setText(GetText(TextCompleted));
    d->lblCanceled->setText(GetText(TextCancelled));
    d->lblLastCopiedFile->setText(GetText(TextLastCopiedFile));
    d->lblFilesCopied2->setText(GetText(TextFilesCopied));
    d->btnClose->setText(GetText(TextClose));
}

TVelkoDirectoryTreeview* TfrmGetPhotos::sourceTree() const
{
    return d->tvSource;
}

TVelkoDirectoryTreeview* TfrmGetPhotos::destinationTree() const
{
    return d->tvDestination;
}

TVelkoImageScroller* TfrmGetPhotos::imageScroller() const
{
    return d->VelkoImageScroller1;
}

void TfrmGetPhotos::setDriveMode(bool driveMode)
{
    d->driveMode = driveMode;
}

bool TfrmGetPhotos::driveMode() const
{
    return d->driveMode;
}

bool TfrmGetPhotos::hasCopyThread() const
{
    return d->copyThread != nullptr;
}

void TfrmGetPhotos::showEvent(QShowEvent* event)
{
    TfrmWizard::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmGetPhotos::FormShow()
{
    WaitCursor wait;
    TVelkoImageScroller* grid = d->VelkoImageScroller1;
    grid->StopThumbnails();
    grid->StartThumbnails(LoadCachedThumbnail);
    if (QTreeWidgetItem* first = d->tvSource->topLevelItem(0)) {
        d->tvSource->setCurrentItem(first); // the grid follows through tvSourceChange
        grid->Rescan();
    }
    d->pnIntro->setVisible(d->driveMode);
    d->chkSubFolder->setChecked(d->driveMode);
    chkSubFolderClick();
    d->edSubFolderName->clear();
    stopCopyThread();
}

void TfrmGetPhotos::done(int result)
{
    // FormClose: the window is only hidden and shown again for the next run.
    {
        WaitCursor wait;
        stopCopyThread();
        d->VelkoImageScroller1->StopThumbnails();
    }
    TfrmWizard::done(result);
}

void TfrmGetPhotos::tvSourceChange()
{
    // Every photo of the chosen folder starts selected once the folder has been read.
    if (const std::optional<ShellItemIdList> folder = d->tvSource->SelectedFolderId())
        d->VelkoImageScroller1->SetFolder(*folder, true);
}

void TfrmGetPhotos::btnSelectAllClick()
{
    d->VelkoImageScroller1->SetAllSelected(true);
}

void TfrmGetPhotos::btnDeselectAllClick()
{
    d->VelkoImageScroller1->SetAllSelected(false);
}

void TfrmGetPhotos::chkSubFolderClick()
{
    const bool checked = d->chkSubFolder->isChecked();
    d->edSubFolderName->setEnabled(checked);
    QPalette palette = d->edSubFolderName->palette();
    palette.setColor(QPalette::Base,
                     QApplication::palette().color(checked ? QPalette::Base : QPalette::Button));
    d->edSubFolderName->setPalette(palette);
}

bool TfrmGetPhotos::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == d->lblSubFolder && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        d->chkSubFolder->click();
        return true;
    }
    return TfrmWizard::eventFilter(watched, event);
}

void TfrmGetPhotos::btnNext1Click()
{
    // While the grid still reads the folder it reports no selection.
    if (!d->VelkoImageScroller1->HasSelection()) {
        showMessage(this, QMessageBox::Information, GetText(TextNoPhotosSelected),
                    "NoPhotosSelected");
        return;
    }
    const QString destination = d->tvDestination->selectedFolderPath();
    if (!destination.isEmpty()) {
        // Proposed afresh on every move forward: the folder may have changed meanwhile.
        d->edSubFolderName->setText(
            proposeSubFolderIn(withSlash(destination), GetText(TextPhotosBase)));
    }
    setActivePageIndex(ActivePageIndex() + 1);
    if (d->driveMode && d->edSubFolderName->isEnabled())
        d->edSubFolderName->setFocus();
    else
        d->btnNext2->setFocus();
}

void TfrmGetPhotos::btnNext2Click()
{
    QString source = d->tvSource->selectedFolderPath();
    if (source.isEmpty()) {
        showMessage(this, QMessageBox::Critical, GetText(TextNoSourceFolder), "NoSourceFolder");
        return;
    }
    source = withSlash(source);

    QString destination = d->tvDestination->selectedFolderPath();
    if (destination.isEmpty()) {
        showMessage(this, QMessageBox::Critical, GetText(TextNoDestinationFolder),
                    "NoDestinationFolder");
        return;
    }
    destination = withSlash(destination);
    const bool subFolder = d->chkSubFolder->isChecked();
    if (subFolder)
        destination = withSlash(destination + d->edSubFolderName->text().trimmed());

    if (isSameFolder(source, destination)) {
        showMessage(this, QMessageBox::Warning, GetText(TextSameFolder), "SameFolder");
        return;
    }
    // Asked before the new folder is made, so a refused run leaves no empty folder behind.
    if (!d->VelkoImageScroller1->HasSelection()) {
        showMessage(this, QMessageBox::Information, GetText(TextNoPhotosSelectedPlease),
                    "NoPhotosSelected");
        return;
    }
    if (subFolder) {
        QString reason;
        if (!createFolder(destination, &reason)) {
            showMessage(this, QMessageBox::Critical,
                        GetText(TextFolderNotCreated) + QStringLiteral("\n\n") + reason,
                        "FolderNotCreated");
            return;
        }
        ShellChangeNotifier::instance().announcePath(ShcneMkDir,
                                                     QFile::encodeName(withoutSlash(destination)));
    }
    if (startCopy(source, destination))
        setActivePageIndex(ActivePageIndex() + 1);
}

bool TfrmGetPhotos::startCopy(const QString& source, const QString& destination)
{
    d->pnResult->hide();
    d->pnBusy->show();
    d->lblSource->setFullText(withoutSlash(source));
    d->lblDestination->setFullText(withoutSlash(destination));
    d->lblFilename->setFullText(QString());
    d->lblLastSuccess->setFullText(QString());
    d->pbFile->setValue(0);
    d->pbOverall->setValue(0);
    d->lblNrCopied->setText(QStringLiteral("0"));
    d->lblNrCopied2->setText(QStringLiteral("0"));
    // Our copy reports progress within each file.
    d->pbFile->setVisible(true);

    const TPhotoList selected = d->VelkoImageScroller1->GetSelectedPhotos();
    QStringList names;
    names.reserve(selected.count());
    for (int i = 0; i < selected.count(); ++i)
        names << QFileInfo(selected.at(i)->path()).fileName();
    d->totalFiles = int(names.size());
    d->filesStarted = 0;
    d->filesCopied = 0;

    stopCopyThread();
    d->copyThread = std::make_unique<TCopyFilesThread>(
        [this](const WindowMessage& message) { return handleCopyMessage(message); }, source,
        destination, names);
    return d->copyThread->start();
}

qintptr TfrmGetPhotos::handleCopyMessage(const WindowMessage& message)
{
    ++d->handling;
    const auto leave = qScopeGuard([this] { --d->handling; });
    switch (message.id) {
    case WM_COPYSTART:
        d->lblFilename->setFullText(message.text);
        d->pbFile->setValue(0);
        d->pbOverall->setValue(percent(d->filesStarted, d->totalFiles));
        ++d->filesStarted;
        return 0;
    case WM_COPYPROGRESS: {
        const double copied = double(message.wParam);
        const double total = double(message.lParam);
        if (total > 0) {
            d->pbFile->setValue(percent(copied, total));
            if (d->pbOverall->isVisible())
                d->pbOverall->setValue(
                    percent(d->filesStarted - 1 + copied / total, d->totalFiles));
        }
        return 0;
    }
    case WM_COPYDONE:
        d->lblLastSuccess->setFullText(message.text);
        ++d->filesCopied;
        d->lblNrCopied->setText(QString::number(d->filesCopied));
        d->lblNrCopied2->setText(QString::number(d->filesCopied));
        return 0;
    case WM_COPYERROR:
        return CopyQuestionDialog::copyError(message.text, d->copyThread->copyFailure(), this)
            ->exec();
    case WM_COPYEXISTS:
        return CopyQuestionDialog::replaceFile(message.text, this)->exec();
    case WM_COPYCANCELLED:
        showResult(false);
        return 0;
    case WM_COPYFINISHED:
        showResult(true);
        return 0;
    default:
        return 0;
    }
}

void TfrmGetPhotos::showResult(bool completed)
{
    d->lblCompleted->setVisible(completed);
    d->lblCanceled->setVisible(!completed);
    d->pnBusy->hide();
    d->pnResult->show();
    d->btnClose->setFocus();
}

void TfrmGetPhotos::btnCancelClick()
{
    {
        WaitCursor wait;
        // Stopping releases a worker that waits in a question and aborts the file in work.
        stopCopyThread();
    }
    showResult(false);
}

void TfrmGetPhotos::stopCopyThread()
{
    if (!d->copyThread)
        return;
    d->copyThread->stop();
    // Stopped from inside one of its own messages (the window closed under an open
    // question): the worker has ended, but its message is still being answered on this
    // stack, so the object goes once that is over.
    if (d->handling > 0) {
        TCopyFilesThread* ended = d->copyThread.release();
        QTimer::singleShot(0, qApp, [ended] { delete ended; });
        return;
    }
    d->copyThread.reset();
}

void TfrmGetPhotos::btnPrevClick()
{
    setActivePageIndex(ActivePageIndex() - 1);
}

#include "TfrmPrint.h"

#include "PreviewSheet.h"
#include "PrintLayout.h"
#include "PrintSettings.h"
#include "ProgramVersion.h"
#include "ScreenResolution.h"
#include "TPreviewThread.h"
#include "TPrintThread.h"
#include "TPrinterObject.h"
#include "TSpecialScrollBar.h"
#include "TfrmPics.h"
#include "WaitCursor.h"
#include "WidgetColors.h"
#include "WizardArtwork.h"
#include "WizardPageWidgets.h"
#include "uLanguage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <cmath>

using namespace wizardpage;

namespace {

enum TextId : unsigned
{
    TextNext = 1,
    TextCancel = 3,
    TextClose = 4,
    TextPrint = 105,
    TextSelectPrinter = 301,
    TextSettings = 302,
    TextSelectPhotoSize = 304,
    TextOptions = 312,
    TextEnlarge = 313,
    TextEnlargeNotice = 314,
    TextPreview = 317,
    TextPreviewIntro = 318,
    TextCropHelp = 319,
    TextPaperSize = 320,
    TextPrintProgress = 322,
    TextPage = 323,
    TextPhoto = 324,
    TextPrintError = 326,
    TextPrintCompleted = 327,
    TextPrintCancelled = 328,
    TextOverallProgress = 329,
    TextSavePdfAs = 332,
    TextPdfFiles = 333,
};

constexpr QSize kPageArea(620, 480);
// pnPaperParent is square: the sheet turns inside it with the paper.
constexpr int kPaperDisplaySide = 397;
constexpr int kCropBarBreadth = 12;
const QColor kPaperDisplayColor(128, 128, 128);

int toPixels(double micrometres, double ppi)
{
    return int(std::lround(micrometres * ppi / kMicrometresPerInch));
}

// The horizontal up-down beside the page number: a left and a right arrow.
class PageUpDown : public QWidget
{
public:
    explicit PageUpDown(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("udPageNo"));
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        mDown = arrow("udPageNoDown", Qt::LeftArrow, -1);
        mUp = arrow("udPageNoUp", Qt::RightArrow, +1);
        row->addWidget(mDown);
        row->addWidget(mUp);
    }

    void setRange(int minimum, int maximum)
    {
        mMinimum = minimum;
        mMaximum = qMax(minimum, maximum);
        setPosition(mPosition);
    }
    void setPosition(int position)
    {
        mPosition = qBound(mMinimum, position, mMaximum);
        mDown->setEnabled(mPosition > mMinimum);
        mUp->setEnabled(mPosition < mMaximum);
    }
    int position() const { return mPosition; }

    std::function<void(int)> onClick;

private:
    QToolButton* arrow(const char* name, Qt::ArrowType type, int step)
    {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(name));
        button->setArrowType(type);
        button->setFixedSize(22, 22);
        connect(button, &QToolButton::clicked, this, [this, step] {
            const int old = mPosition;
            setPosition(mPosition + step);
            if (mPosition != old && onClick)
                onClick(mPosition);
        });
        return button;
    }

    QToolButton* mDown = nullptr;
    QToolButton* mUp = nullptr;
    int mMinimum = 1;
    int mMaximum = 1;
    int mPosition = 1;
};

} // namespace

struct TfrmPrint::Private
{
    // tbFirst
    QWidget* tbFirst = nullptr;
    QLabel* lblPrinter = nullptr;
    QComboBox* cmbPrinter = nullptr;
    QPushButton* btnPrinterSettings = nullptr;
    QPushButton* btnNext0 = nullptr;
    QPushButton* btnClose = nullptr;
    // tbHowPrint
    QWidget* tbHowPrint = nullptr;
    QLabel* lblPhotoSize = nullptr;
    QWidget* pnPhotoSize = nullptr;
    std::array<QRadioButton*, kPrintLayoutCount> layoutButtons{};
    QButtonGroup* layoutGroup = nullptr;
    QLabel* lblOptions = nullptr;
    QCheckBox* chkEnlarge = nullptr;
    QLabel* lblEnlarge = nullptr;
    QPushButton* btnPrev0 = nullptr;
    QPushButton* btnNext1 = nullptr;
    // tbPreview
    QWidget* tbPreview = nullptr;
    QLabel* lblPreview = nullptr;
    QLabel* lblPreviewIntro = nullptr;
    QLabel* lblCropHelp = nullptr;
    QLabel* lblPapSize = nullptr;
    QLabel* lblPapersize = nullptr;
    QLabel* lblPageNo = nullptr;
    PageUpDown* udPageNo = nullptr;
    QFrame* pnPaperParent = nullptr;
    QWidget* pnPaper = nullptr;
    QWidget* pnPreview = nullptr;
    QPushButton* btnPrev1 = nullptr;
    QPushButton* btnPrint = nullptr;
    // tbStatus
    QWidget* tbStatus = nullptr;
    QLabel* lblPrinting = nullptr;
    QWidget* pnStatus = nullptr;
    QLabel* lblCurrPage = nullptr;
    QLabel* lblCurrPageNo = nullptr;
    QLabel* lblCurrFile = nullptr;
    QLabel* lblCurrFileName = nullptr;
    QLabel* lblProgress = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* lblPct = nullptr;
    QPushButton* btnCancel = nullptr;
    QWidget* pnCompleted = nullptr;
    QLabel* lblCompleted = nullptr;
    QPushButton* btnClose2 = nullptr;

    TPrinterObjects printers;
    TPrintPhotoObjectRefs photos;
    // The run the preview shows: its pages, the layout's results and the settings it was
    // made with, which the print run then uses.
    TPrintPageList pages;
    PrintLayoutResults results;
    PrintSettings settings;
    PrintLayoutKind kind = PrintLayoutKind::OnePerPage;
    int shownPage = -1;
    QString lastPdfFolder;
    // Declared last, so that they are stopped before anything their messages reach goes.
    std::unique_ptr<TPreviewThread> previewThread;
    std::unique_ptr<TPrintThread> printThread;

    PrintLayoutKind checkedKind() const
    {
        const int id = layoutGroup->checkedId();
        return id < 0 ? PrintLayoutKind::OnePerPage : PrintLayoutKind(id);
    }

    MicroRect shownSlot(const TPrintPhoto& photo) const
    {
        return results.landscapeTurn ? turnedSlot(photo.slot, results.turnedWidth) : photo.slot;
    }
};

TfrmPrint::TfrmPrint(QWidget* parent, const TfrmPics* pics)
    : TfrmWizard(parent), d(std::make_unique<Private>())
{
    setObjectName(QStringLiteral("frmPrint"));
    buildFirstPage();
    buildHowPrintPage();
    buildPreviewPage();
    buildStatusPage();
    resize(kPageArea);

    // FormCreate
    SetWizardSteps(GetText(TextPrint),
                   {GetText(TextSelectPrinter), GetText(TextSelectPhotoSize), GetText(TextPreview),
                    GetText(TextPrint)},
                   pics ? &pics->imPrint : &wizard::artwork::print());
    d->printers = TPrinterObjects::enumerate();
    for (const auto& entry : d->printers.entries)
        d->cmbPrinter->addItem(entry->displayName());
    d->cmbPrinter->setCurrentIndex(d->printers.selected);
    cmbPrinterChange();
    connect(d->cmbPrinter, &QComboBox::currentIndexChanged, this, &TfrmPrint::cmbPrinterChange);
    RadioButtonClick();
}

TfrmPrint::~TfrmPrint()
{
    stopPreviewThread();
    stopPrintThread();
}

void TfrmPrint::buildFirstPage()
{
    d->tbFirst = namedPanel(nullptr, "tbFirst");
    QVBoxLayout* layout = pageLayout(d->tbFirst);
    d->lblPrinter = makeLabel(d->tbFirst, "lblPrinter", true);
    layout->addWidget(d->lblPrinter);
    auto* row = new QHBoxLayout;
    d->cmbPrinter = new QComboBox(d->tbFirst);
    d->cmbPrinter->setObjectName(QStringLiteral("cmbPrinter"));
    d->cmbPrinter->setMinimumWidth(300);
    d->btnPrinterSettings = makeButton(d->tbFirst, "btnPrinterSettings");
    row->addWidget(d->cmbPrinter, 1);
    row->addWidget(d->btnPrinterSettings);
    layout->addLayout(row);
    layout->addStretch(1);
    d->btnClose = makeButton(d->tbFirst, "btnClose");
    d->btnClose->hide();
    d->btnNext0 = makeButton(d->tbFirst, "btnNext0");
    layout->addLayout(buttonRow({d->btnClose, d->btnNext0}));

    connect(d->btnPrinterSettings, &QPushButton::clicked, this,
            &TfrmPrint::btnPrinterSettingsClick);
    connect(d->btnNext0, &QPushButton::clicked, this, &TfrmPrint::btnNext0Click);
    connect(d->btnClose, &QPushButton::clicked, this, &QDialog::reject);
    PageControl1->addWidget(d->tbFirst);
}

void TfrmPrint::buildHowPrintPage()
{
    d->tbHowPrint = namedPanel(nullptr, "tbHowPrint");
    QVBoxLayout* layout = pageLayout(d->tbHowPrint);
    d->lblPhotoSize = makeLabel(d->tbHowPrint, "lblPhotoSize", true);
    layout->addWidget(d->lblPhotoSize);

    d->pnPhotoSize = namedPanel(d->tbHowPrint, "pnPhotoSize");
    auto* choices = new QVBoxLayout(d->pnPhotoSize);
    choices->setContentsMargins(8, 0, 0, 0);
    choices->setSpacing(4);
    d->layoutGroup = new QButtonGroup(this);
    static constexpr std::array<const char*, kPrintLayoutCount> names = {
        "rbOne", "rbTwo", "rbFour", "rb9x13", "rb10x15", "rb13x18", "rbThumbs"};
    for (int i = 0; i < kPrintLayoutCount; ++i) {
        auto* button = new QRadioButton(d->pnPhotoSize);
        button->setObjectName(QLatin1String(names[std::size_t(i)]));
        d->layoutGroup->addButton(button, i);
        d->layoutButtons[std::size_t(i)] = button;
        choices->addWidget(button);
    }
    d->layoutButtons[0]->setChecked(true);
    choices->addSpacing(12);
    d->lblOptions = makeLabel(d->pnPhotoSize, "lblOptions", true);
    choices->addWidget(d->lblOptions);
    d->chkEnlarge = new QCheckBox(d->pnPhotoSize);
    d->chkEnlarge->setObjectName(QStringLiteral("chkEnlarge"));
    choices->addWidget(d->chkEnlarge);
    d->lblEnlarge = makeLabel(d->pnPhotoSize, "lblEnlarge", false, true);
    d->lblEnlarge->setContentsMargins(20, 0, 0, 0);
    choices->addWidget(d->lblEnlarge);
    layout->addWidget(d->pnPhotoSize);
    layout->addStretch(1);

    d->btnPrev0 = makeButton(d->tbHowPrint, "btnPrev0");
    d->btnNext1 = makeButton(d->tbHowPrint, "btnNext1");
    layout->addLayout(buttonRow({d->btnPrev0, d->btnNext1}));

    connect(d->layoutGroup, &QButtonGroup::idClicked, this, &TfrmPrint::RadioButtonClick);
    connect(d->btnPrev0, &QPushButton::clicked, this, &TfrmPrint::btnPrev0Click);
    connect(d->btnNext1, &QPushButton::clicked, this, &TfrmPrint::btnNext1Click);
    PageControl1->addWidget(d->tbHowPrint);
}

void TfrmPrint::buildPreviewPage()
{
    d->tbPreview = namedPanel(nullptr, "tbPreview");
    QVBoxLayout* layout = pageLayout(d->tbPreview);
    d->lblPreview = makeLabel(d->tbPreview, "lblPreview", true);
    layout->addWidget(d->lblPreview);

    auto* body = new QHBoxLayout;
    body->setSpacing(12);
    auto* info = new QVBoxLayout;
    info->setSpacing(8);
    d->lblPreviewIntro = makeLabel(d->tbPreview, "lblPreviewIntro", false, true);
    d->lblCropHelp = makeLabel(d->tbPreview, "lblCropHelp", false, true);
    info->addWidget(d->lblPreviewIntro);
    info->addWidget(d->lblCropHelp);
    info->addStretch(1);
    auto* paperSize = new QHBoxLayout;
    d->lblPapSize = makeLabel(d->tbPreview, "lblPapSize");
    d->lblPapersize = makeLabel(d->tbPreview, "lblPapersize");
    paperSize->addWidget(d->lblPapSize);
    paperSize->addWidget(d->lblPapersize, 1);
    info->addLayout(paperSize);
    auto* pageRow = new QHBoxLayout;
    d->lblPageNo = makeLabel(d->tbPreview, "lblPageNo");
    d->udPageNo = new PageUpDown(d->tbPreview);
    d->udPageNo->onClick = [this](int position) { udPageNoClick(position); };
    pageRow->addWidget(d->lblPageNo);
    pageRow->addWidget(d->udPageNo);
    pageRow->addStretch(1);
    info->addLayout(pageRow);
    body->addLayout(info, 1);

    d->pnPaperParent = new QFrame(d->tbPreview);
    d->pnPaperParent->setObjectName(QStringLiteral("pnPaperParent"));
    d->pnPaperParent->setFixedSize(kPaperDisplaySide, kPaperDisplaySide);
    setBackground(d->pnPaperParent, kPaperDisplayColor);
    d->pnPaper = namedPanel(d->pnPaperParent, "pnPaper");
    setBackground(d->pnPaper, Qt::white);
    d->pnPreview = namedPanel(d->pnPaper, "pnPreview");
    setBackground(d->pnPreview, Qt::white);
    body->addWidget(d->pnPaperParent, 0, Qt::AlignTop);
    layout->addLayout(body, 1);

    d->btnPrev1 = makeButton(d->tbPreview, "btnPrev1");
    d->btnPrint = makeButton(d->tbPreview, "btnPrint");
    layout->addLayout(buttonRow({d->btnPrev1, d->btnPrint}));

    connect(d->btnPrev1, &QPushButton::clicked, this, &TfrmPrint::btnPrev1Click);
    connect(d->btnPrint, &QPushButton::clicked, this, &TfrmPrint::btnPrintClick);
    PageControl1->addWidget(d->tbPreview);
}

void TfrmPrint::buildStatusPage()
{
    d->tbStatus = namedPanel(nullptr, "tbStatus");
    auto* pageRows = new QVBoxLayout(d->tbStatus);
    pageRows->setContentsMargins(0, 0, 0, 0);

    d->pnStatus = namedPanel(d->tbStatus, "pnStatus");
    QVBoxLayout* status = pageLayout(d->pnStatus);
    d->lblPrinting = makeLabel(d->pnStatus, "lblPrinting", true);
    status->addWidget(d->lblPrinting);
    auto* details = new QGridLayout;
    details->setHorizontalSpacing(8);
    d->lblCurrPage = makeLabel(d->pnStatus, "lblCurrPage");
    d->lblCurrPageNo = makeLabel(d->pnStatus, "lblCurrPageNo");
    d->lblCurrFile = makeLabel(d->pnStatus, "lblCurrFile");
    d->lblCurrFileName = makeLabel(d->pnStatus, "lblCurrFileName");
    details->addWidget(d->lblCurrPage, 0, 0);
    details->addWidget(d->lblCurrPageNo, 0, 1);
    details->addWidget(d->lblCurrFile, 1, 0);
    details->addWidget(d->lblCurrFileName, 1, 1);
    details->setColumnStretch(1, 1);
    status->addLayout(details);
    status->addSpacing(10);
    d->lblProgress = makeLabel(d->pnStatus, "lblProgress");
    status->addWidget(d->lblProgress);
    auto* progress = new QHBoxLayout;
    d->ProgressBar1 = new QProgressBar(d->pnStatus);
    d->ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    d->ProgressBar1->setRange(0, 100);
    d->ProgressBar1->setTextVisible(false);
    d->ProgressBar1->setFixedHeight(18);
    d->lblPct = makeLabel(d->pnStatus, "lblPct");
    d->lblPct->setMinimumWidth(40);
    progress->addWidget(d->ProgressBar1, 1);
    progress->addWidget(d->lblPct);
    status->addLayout(progress);
    status->addStretch(1);
    d->btnCancel = makeButton(d->pnStatus, "btnCancel");
    status->addLayout(buttonRow({d->btnCancel}));
    pageRows->addWidget(d->pnStatus);

    d->pnCompleted = namedPanel(d->tbStatus, "pnCompleted");
    QVBoxLayout* completed = pageLayout(d->pnCompleted);
    d->lblCompleted = makeLabel(d->pnCompleted, "lblCompleted", true, true);
    completed->addWidget(d->lblCompleted);
    completed->addStretch(1);
    d->btnClose2 = makeButton(d->pnCompleted, "btnClose2");
    completed->addLayout(buttonRow({d->btnClose2}));
    pageRows->addWidget(d->pnCompleted);
    d->pnCompleted->hide();

    connect(d->btnCancel, &QPushButton::clicked, this, &TfrmPrint::btnCancelClick);
    connect(d->btnClose2, &QPushButton::clicked, this, &QDialog::accept);
    PageControl1->addWidget(d->tbStatus);
}

void TfrmPrint::ApplyTexts()
{
    d->lblPrinter->setText(GetText(TextSelectPrinter));
    d->btnPrinterSettings->setText(GetText(TextSettings) + QStringLiteral("..."));
    d->btnNext0->setText(nextButtonText());
    d->btnClose->setText(GetText(TextClose));

    d->lblPhotoSize->setText(GetText(TextSelectPhotoSize));
    for (int i = 0; i < kPrintLayoutCount; ++i)
        d->layoutButtons[std::size_t(i)]->setText(GetText(printLayoutTextId(PrintLayoutKind(i))));
    d->lblOptions->setText(GetText(TextOptions));
    d->chkEnlarge->setText(GetText(TextEnlarge));
    d->lblEnlarge->setText(QStringLiteral("(") + GetText(TextEnlargeNotice) + QStringLiteral(")"));
    d->btnPrev0->setText(previousButtonText());
    d->btnNext1->setText(nextButtonText());

    d->lblPreview->setText(GetText(TextPreview));
    d->lblPreviewIntro->setText(GetText(TextPreviewIntro));
    d->lblCropHelp->setText(GetText(TextCropHelp));
    d->lblPapSize->setText(GetText(TextPaperSize) + QStringLiteral(":"));
    d->btnPrev1->setText(previousButtonText());
    d->btnPrint->setText(GetText(TextPrint));

    d->lblPrinting->setText(GetText(TextPrintProgress));
    d->lblCurrPage->setText(GetText(TextPage));
    d->lblCurrFile->setText(GetText(TextPhoto));
    d->lblProgress->setText(GetText(TextOverallProgress));
    d->btnCancel->setText(GetText(TextCancel));
    d->btnClose2->setText(GetText(TextClose));
}

void TfrmPrint::setPhotos(TPrintPhotoObjectRefs photos)
{
    d->photos = std::move(photos);
}

TPrinterObject* TfrmPrint::selectedPrinter() const
{
    const int index = d->cmbPrinter->currentIndex();
    if (index < 0 || index >= int(d->printers.entries.size()))
        return nullptr;
    return d->printers.entries[std::size_t(index)].get();
}

int TfrmPrint::pageCount() const
{
    return int(d->pages.size());
}

int TfrmPrint::shownPage() const
{
    return d->shownPage;
}

bool TfrmPrint::hasPreviewThread() const
{
    return d->previewThread != nullptr;
}

bool TfrmPrint::hasPrintThread() const
{
    return d->printThread != nullptr;
}

void TfrmPrint::showEvent(QShowEvent* event)
{
    TfrmWizard::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmPrint::FormShow()
{
    // Each run starts afresh; the printers keep their settings while the program runs.
    d->pnCompleted->hide();
    d->pnStatus->show();
    d->btnCancel->setEnabled(true);
}

void TfrmPrint::done(int result)
{
    // FormClose: the window is only hidden and shown again for the next run.
    {
        WaitCursor wait;
        stopPreviewThread();
        stopPrintThread();
    }
    TfrmWizard::done(result);
}

void TfrmPrint::cmbPrinterChange()
{
    TPrinterObject* entry = selectedPrinter();
    const bool usable = entry != nullptr && entry->deviceMode() != nullptr;
    d->btnPrinterSettings->setEnabled(usable);
    d->btnNext1->setEnabled(usable);
}

void TfrmPrint::btnPrinterSettingsClick()
{
    if (TPrinterObject* entry = selectedPrinter())
        entry->editSettings(this);
}

void TfrmPrint::RadioButtonClick()
{
    const bool nPerPage = isNPerPage(d->checkedKind());
    d->chkEnlarge->setEnabled(nPerPage);
    d->lblEnlarge->setEnabled(nPerPage);
}

void TfrmPrint::btnNext0Click()
{
    if (selectedPrinter() != nullptr)
        setActivePageIndex(ActivePageIndex() + 1);
}

void TfrmPrint::btnPrev0Click()
{
    setActivePageIndex(ActivePageIndex() - 1);
}

void TfrmPrint::btnPrev1Click()
{
    stopPreviewThread();
    setActivePageIndex(ActivePageIndex() - 1);
}

void TfrmPrint::btnNext1Click()
{
    TPrinterObject* entry = selectedPrinter();
    QPrinter* printer = entry ? entry->deviceMode() : nullptr;
    if (printer == nullptr)
        return;
    WaitCursor wait;
    stopPreviewThread();

    PrintLayoutRequest request;
    request.kind = d->checkedKind();
    request.enlarge = d->chkEnlarge->isChecked();
    const PrintSettings settings = PrintSettings::fromPrinter(*printer);
    request.paper = paperMetrics(settings, isNPerPage(request.kind));
    request.landscape = settings.isLandscape();
    request.screenPpiX = screenDotsPerInchX();
    request.screenPpiY = screenDotsPerInchY();
    TPrintPageList pages;
    PrintLayoutResults results;
    if (!BuildPrintLayout(d->photos, request, pages, results)) {
        showMessage(this, QMessageBox::Critical, GetText(kTextNoPaperSize), "NoPaperSize");
        return;
    }
    d->pages = std::move(pages);
    d->settings = settings;
    d->kind = request.kind;

    const PreviewSheet sheet =
        previewSheet(kPaperDisplaySide, results.paperWidth, results.paperHeight, results.offsetLeft,
                     results.offsetTop);
    results.previewPpiX = sheet.ppiX;
    results.previewPpiY = sheet.ppiY;
    d->results = results;
    d->pnPaper->setGeometry(sheet.sheet);
    d->pnPreview->setGeometry(sheet.printable);
    d->lblPapersize->setText(paperSizeText(results.paperWidth, results.paperHeight));
    d->udPageNo->setRange(1, pageCount());
    d->udPageNo->setPosition(1);
    d->lblCropHelp->setVisible(isFixedSize(request.kind));
    showPage(0);
    setActivePageIndex(ActivePageIndex() + 1);
}

void TfrmPrint::udPageNoClick(int position)
{
    showPage(position - 1);
}

void TfrmPrint::showPage(int page)
{
    stopPreviewThread();
    for (QWidget* child : d->pnPreview->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        delete child;
    d->shownPage = page;
    if (page >= 0 && page < pageCount()) {
        d->previewThread = std::make_unique<TPreviewThread>(
            [this](const WindowMessage& message) { return handlePreviewMessage(message); }, page);
        d->previewThread->start();
    }
    d->lblPageNo->setText(QStringLiteral("(%1 / %2)").arg(page + 1).arg(pageCount()));
}

qintptr TfrmPrint::handlePreviewMessage(const WindowMessage& message)
{
    if (!d->previewThread)
        return -1;
    const int page = int(message.wParam);
    const int index = int(message.lParam);
    if (page < 0 || page >= pageCount() || index < 0 ||
        index >= int(d->pages[std::size_t(page)].photos.size()))
        return -1;
    const TPrintPhoto& photo = d->pages[std::size_t(page)].photos[std::size_t(index)];
    switch (message.id) {
    case WM_PREVIEW_NEXT_JOB: {
        PlacementRequest& job = d->previewThread->job();
        job.fileName = photo.photo->fileName();
        job.slot = d->shownSlot(photo);
        job.rotateAllowed = photo.rotateAllowed;
        job.fill = photo.fill;
        job.enlarge = photo.enlarge;
        job.rotateClockwise = d->results.landscapeTurn;
        job.ppiX = d->results.previewPpiX;
        job.ppiY = d->results.previewPpiY;
        job.screenPpiX = screenDotsPerInchX();
        job.screenPpiY = screenDotsPerInchY();
        emit previewPhotoStarted(page, index);
        return index;
    }
    case WM_PREVIEW_DONE:
        showRenderedPhoto(page, index);
        emit previewPhotoShown(page, index);
        return 0;
    default:
        return -1;
    }
}

void TfrmPrint::showRenderedPhoto(int page, int index)
{
    const TPrintPhoto& photo = d->pages[std::size_t(page)].photos[std::size_t(index)];
    const PlacedPhoto placed = d->previewThread->takeResult();
    const double ppiX = d->results.previewPpiX;
    const double ppiY = d->results.previewPpiY;

    auto* image = new QLabel;
    image->setObjectName(QStringLiteral("imPhoto%1").arg(index));
    image->setPixmap(QPixmap::fromImage(placed.image));
    image->resize(placed.image.size());
    if (!photo.fill) {
        image->setParent(d->pnPreview);
        image->move(toPixels(placed.left, ppiX), toPixels(placed.top, ppiY));
        image->show();
        return;
    }

    const MicroRect slot = d->shownSlot(photo);
    const QRect slotRect(toPixels(slot.left, ppiX), toPixels(slot.top, ppiY),
                         toPixels(slot.width(), ppiX), toPixels(slot.height(), ppiY));
    auto* panel = namedPanel(d->pnPreview, "pnSlot");
    panel->setGeometry(slotRect);
    image->setParent(panel);
    const double crop = photo.photo->cropPosition();
    Qt::Orientation overflow;
    QRect barRect;
    if (toPixels(placed.left, ppiX) == slotRect.left()) {
        overflow = Qt::Vertical;
        image->move(
            0, int(std::lround((placed.top - slot.top) * crop * 2 * ppiY / kMicrometresPerInch)));
        barRect = QRect(slotRect.right() + 1, slotRect.top(), kCropBarBreadth, slotRect.height());
    } else if (toPixels(placed.top, ppiY) == slotRect.top()) {
        overflow = Qt::Horizontal;
        image->move(
            int(std::lround((placed.left - slot.left) * crop * 2 * ppiX / kMicrometresPerInch)), 0);
        barRect = QRect(slotRect.left(), slotRect.bottom() + 1, slotRect.width(), kCropBarBreadth);
    } else {
        image->move(0, 0);
        panel->show();
        image->show();
        return;
    }
    panel->show();
    image->show();
    auto* bar = new TSpecialScrollBar(d->pnPreview, image, photo.photo);
    bar->setObjectName(QStringLiteral("sbCrop%1").arg(index));
    bar->setGeometry(barRect);
    bar->setUpFor(overflow);
}

void TfrmPrint::btnPrintClick()
{
    TPrinterObject* entry = selectedPrinter();
    if (entry == nullptr || d->printThread)
        return;
    stopPreviewThread();
    PrintTarget target;
    if (entry->isPdfFile()) {
        const QString fileName = askPdfFileName();
        if (fileName.isEmpty()) {
            showPage(d->shownPage);
            return;
        }
        target = PrintTarget::pdfFile(fileName);
    } else {
        target = PrintTarget::queue(entry->printerName(), QLatin1String(kApplicationTitle));
    }
    const bool nPerPage = isNPerPage(d->kind);
    d->printThread = std::make_unique<TPrintThread>(
        [this](const WindowMessage& message) { return handlePrintMessage(message); }, d->settings,
        target, nPerPage, nPerPage && d->settings.isLandscape(), screenDotsPerInchX(),
        screenDotsPerInchY());

    d->btnCancel->setEnabled(true);
    d->pnStatus->show();
    d->pnCompleted->hide();
    d->lblCurrPageNo->clear();
    d->lblCurrFileName->clear();
    d->lblPct->setText(QStringLiteral("0 %"));
    d->ProgressBar1->setValue(0);
    setActivePageIndex(ActivePageIndex() + 1);
    d->printThread->start();
}

QString TfrmPrint::askPdfFileName()
{
    QFileDialog dialog(this, GetText(TextSavePdfAs),
                       d->lastPdfFolder.isEmpty() ? QDir::homePath() : d->lastPdfFolder,
                       GetText(TextPdfFiles) + QStringLiteral(" (*.pdf)"));
    dialog.setObjectName(QStringLiteral("SavePdfDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString fileName = dialog.selectedFiles().constFirst();
    d->lastPdfFolder = QFileInfo(fileName).absolutePath();
    return fileName;
}

qintptr TfrmPrint::handlePrintMessage(const WindowMessage& message)
{
    if (!d->printThread)
        return kPrintNoMore;
    switch (message.id) {
    case WM_PRINT_NEXT_JOB: {
        const int page = int(message.wParam);
        TPrintJob& job = d->printThread->job();
        const qintptr answer = answerPrintJob(d->pages, page, int(message.lParam), job);
        if (answer >= 0) {
            d->lblCurrPageNo->setText(QString::number(page + 1));
            d->lblCurrFileName->setText(QFileInfo(job.fileName).fileName());
        }
        const int slotCount = qMax(1, d->results.slotCount);
        const int percent = int(std::lround(d->printThread->printedCount() * 100.0 / slotCount));
        d->ProgressBar1->setValue(qMin(percent, 100));
        d->lblPct->setText(QStringLiteral("%1 %").arg(d->ProgressBar1->value()));
        return answer;
    }
    case WM_PRINT_RESULT: {
        // The worker still waits in this message: it goes once it has ended.
        TPrintThread* ended = d->printThread.release();
        QTimer::singleShot(0, qApp, [ended] { delete ended; });
        showCompleted(int(message.wParam));
        return 0;
    }
    default:
        return 0;
    }
}

void TfrmPrint::showCompleted(int result)
{
    const unsigned text = result == PrintDone        ? TextPrintCompleted
                          : result == PrintCancelled ? TextPrintCancelled
                                                     : TextPrintError;
    d->lblCompleted->setText(GetText(text));
    d->pnStatus->hide();
    d->pnCompleted->show();
    d->btnClose2->setFocus();
    if (result == PrintDone) {
        // Shown once the worker has its answer, so that it can end meanwhile.
        QTimer::singleShot(0, this, [this] {
            showMessage(this, QMessageBox::Information, GetText(TextPrintCompleted),
                        "PrintCompleted");
        });
    }
}

void TfrmPrint::btnCancelClick()
{
    d->btnCancel->setEnabled(false);
    {
        WaitCursor wait;
        stopPrintThread();
    }
    showCompleted(PrintCancelled);
}

void TfrmPrint::stopPreviewThread()
{
    if (d->previewThread) {
        d->previewThread->stop();
        d->previewThread.reset();
    }
}

void TfrmPrint::stopPrintThread()
{
    if (d->printThread) {
        d->printThread->stop();
        d->printThread.reset();
    }
}

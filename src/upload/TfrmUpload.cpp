#include "TfrmUpload.h"

#include "HttpServerAddress.h"
#include "PhotoSiteProtocol.h"
#include "PreparePipeline.h"
#include "ProgramVersion.h"
#include "TLoginObject.h"
#include "TResizeImageThread.h"
#include "TUploadFormat.h"
#include "TVelkoHTTPUpload.h"
#include "TfrmAddPhotobook.h"
#include "TfrmPics.h"
#include "UploadFigures.h"
#include "WidgetColors.h"
#include "WizardArtwork.h"
#include "WizardPageWidgets.h"
#include "WorkerThread.h"
#include "uLanguage.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

#include <array>
#include <exception>
#include <memory>
#include <optional>

using namespace wizardpage;
using namespace upload;

namespace {

enum TextId : unsigned
{
    TextNext = 1,
    TextPrevious = 2,
    TextCancel = 3,
    TextClose = 4,
    TextUpload = 106,
    TextRetry = 220,
    TextLogin = 501,
    TextSelectAlbum = 502,
    TextMaximumSize = 503,
    TextLoginInfo = 504,
    TextEmail = 505,
    TextPassword = 506,
    TextEmailEmpty = 507,
    TextPasswordEmpty = 508,
    TextContinue = 509,
    TextChecking = 510,
    TextSelectAlbumInfo = 511,
    TextCreateAlbum = 512,
    TextCreatingAlbum = 513,
    TextSelectSizeInfo = 517,
    TextNotEnoughSpace = 523,
    TextSelectionSpace = 524,
    TextFreeSpace = 525,
    TextFreeSpaceInfo = 526,
    TextPreparing = 527,
    TextNrPrepared = 528,
    TextNrToPrepare = 529,
    TextCanceled = 530,
    TextErrorInfo = 531,
    TextCheckingFreeSpace = 532,
    TextUploading = 533,
    TextTimeLeft = 534,
    TextCompleted = 535,
    TextEditAlbum = 536,
    TextUnexpectedError = 554,
};

constexpr QSize kPageArea(520, 400);
const QColor kErrorColor(Qt::red);

// A site answer that is not "OK", or a handler that failed, has no code: the text stands alone.
constexpr quint16 kTextOnlyError = 4;

enum Page
{
    tbLogin = 0,
    tbAlbum = 1,
    tbFormat = 2,
    tbUpload = 3,
};

// A panel of a page, laid out like a page of its own; the page shows one at a time.
QWidget* addPanel(QWidget* page, const char* name, QVBoxLayout*& layout)
{
    QWidget* panel = namedPanel(page, name);
    layout = pageLayout(panel);
    page->layout()->addWidget(panel);
    return panel;
}

QWidget* makePage(const char* name)
{
    QWidget* page = namedPanel(nullptr, name);
    auto* rows = new QVBoxLayout(page);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    return page;
}

// Whether the site is reached through a proxy; libproxy may fetch a PAC file for that.
inline constexpr int WM_PROXY_FOUND = WM_USER + 1; // wParam: 1 through a proxy

class ProxyLookupThread final : public WorkerThread
{
public:
    ProxyLookupThread(WindowMessenger::Handler handler, QString siteHost)
        : WorkerThread(std::move(handler)), mSiteHost(std::move(siteHost))
    {}
    ~ProxyLookupThread() override { stop(); }

protected:
    void execute() override { send(WM_PROXY_FOUND, TLoginObject::usesProxy(mSiteHost) ? 1 : 0); }

private:
    const QString mSiteHost;
};

} // namespace

struct TfrmUpload::Private
{
    // Page 0
    QWidget* tbLogin = nullptr;
    QWidget* pnLogin = nullptr;
    QLabel* cptLogin = nullptr;
    QLabel* cptLoginInfo = nullptr;
    QLabel* lblRegister = nullptr;
    QLabel* cptEmail = nullptr;
    QLineEdit* edEmail = nullptr;
    QLabel* cptPassword = nullptr;
    QLineEdit* edPassword = nullptr;
    QLabel* lblLoginError = nullptr;
    QPushButton* btnLogin = nullptr;
    QWidget* pnChecking = nullptr;
    QLabel* cptChecking = nullptr;
    QPushButton* btnCancelLogin = nullptr;
    QWidget* pnNonCritical = nullptr;
    QLabel* lblNonCritical = nullptr;
    QPushButton* btnContinue = nullptr;
    QWidget* pnCritical = nullptr;
    QLabel* lblCritical = nullptr;

    // Page 1
    QWidget* tbAlbum = nullptr;
    QWidget* pnSelectAlbum = nullptr;
    QLabel* cptSelectAlbum = nullptr;
    QLabel* cptSelectAlbumInfo = nullptr;
    QComboBox* cmbAlbum = nullptr;
    QLabel* btnCreateAlbum = nullptr;
    QPushButton* btnPrev1 = nullptr;
    QPushButton* btnNext1 = nullptr;
    QWidget* pnCreatingAlbum = nullptr;
    QLabel* cptCreatingAlbum = nullptr;
    QPushButton* btnCancelCreateAlbum = nullptr;

    // Page 2
    QWidget* tbFormat = nullptr;
    QLabel* cptSelectSize = nullptr;
    QLabel* cptSelectSizeInfo = nullptr;
    QComboBox* cmbFormat = nullptr;
    QPushButton* btnPrev2 = nullptr;
    QPushButton* btnUpload = nullptr;

    // Page 3
    QWidget* tbUpload = nullptr;
    QWidget* pnPreparing = nullptr;
    QLabel* cptPreparing = nullptr;
    QLabel* cptNrPrepared = nullptr;
    QLabel* lblNrPrepared = nullptr;
    QLabel* cptNrToPrepare = nullptr;
    QLabel* lblNrToPrepare = nullptr;
    QPushButton* btnCancelPrepare = nullptr;
    QWidget* pnCheckingFreeSpace = nullptr;
    QLabel* cptCheckingFreeSpace = nullptr;
    QPushButton* btnCancelFreeSpace = nullptr;
    QWidget* pnNotEnoughSpace = nullptr;
    QLabel* cptNotEnoughSpace = nullptr;
    QLabel* cptSelectionSpace = nullptr;
    QLabel* lblSelectionSpace = nullptr;
    QLabel* cptFreeSpace = nullptr;
    QLabel* lblFreeSpace = nullptr;
    QLabel* cptFreeSpaceInfo = nullptr;
    QPushButton* btnPrev = nullptr;
    QPushButton* btnRetry = nullptr;
    QPushButton* btnClose = nullptr;
    QWidget* pnUpload = nullptr;
    QLabel* cptUploading = nullptr;
    QLabel* lblUploadNo = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* lblPct = nullptr;
    QLabel* lblTotalUpload = nullptr;
    QLabel* cptExpectedTimeLeft = nullptr;
    QLabel* lblTimeLeft = nullptr;
    QLabel* cptSpaceLeft = nullptr;
    QLabel* lblSpaceLeft = nullptr;
    QPushButton* btnCancelUpload = nullptr;
    QWidget* pnCompleted = nullptr;
    QLabel* lblCompleted = nullptr;
    QLabel* lblEditAlbum = nullptr;
    QPushButton* btnClose2 = nullptr;
    QWidget* pnCanceled = nullptr;
    QLabel* cptCanceled = nullptr;
    QPushButton* btnClose3 = nullptr;
    QWidget* pnUploadError = nullptr;
    QLabel* lblUploadError = nullptr;
    QLabel* cptErrorInfo = nullptr;
    QPushButton* btnClose4 = nullptr;

    std::array<QList<QWidget*>, 4> panels;

    TLoginObject account;
    TUploadFormatList formats;
    QString siteHost;

    QStringList files;
    // The expected size of each photo's main image, parallel to files; 0 until known.
    QList<qint64> expectedSizes;
    qint64 total = 0;
    qint64 bytesDone = 0;
    int index = 0;

    // The proxy lookup before the first login of the run, and what it found.
    std::unique_ptr<ProxyLookupThread> proxyLookup;
    bool proxyLookupWanted = false;
    std::optional<bool> throughProxy;

    upload::PreparePipeline* pipeline = nullptr;
    std::unique_ptr<TResizeImageThread> worker;
    // Bumped whenever a worker is stopped, so that its queued result is dropped.
    int workerSerial = 0;

    UploadPhoto photo;
    UploadProgress progress;
    QElapsedTimer clock;

    // Set when Cancel was asked of the HTTP component: an answer that was already on its way
    // then ends the exchange as a cancel would.
    bool cancelRequested = false;

    QString errorInfoAddress;
    QString newAlbumName;
    // What the last login sent, for reading its answer.
    QString sentEmail;
    QString sentPassword;

    // Last, so that it is gone (and its worker stopped) before the widgets its events reach.
    TVelkoHTTPUpload* VelkoHTTPUpload1 = nullptr;

    TUploadFormat chosenFormat() const
    {
        const int row = cmbFormat->currentIndex();
        if (row < 0)
            return {-1, -1};
        return TUploadFormat::fromSetting(cmbFormat->itemData(row).toInt());
    }
    qint64 expectedSize(int i) const
    {
        return i >= 0 && i < expectedSizes.size() ? expectedSizes[i] : 0;
    }
};

TfrmUpload::TfrmUpload(QWidget* parent, const TfrmPics* pics)
    : TfrmWizard(parent), d(std::make_unique<Private>())
{
    setObjectName(QStringLiteral("frmUpload"));
    d->clock.start();
    buildLoginPage();
    buildAlbumPage();
    buildFormatPage();
    buildUploadPage();
    resize(kPageArea);
    d->VelkoHTTPUpload1 = new TVelkoHTTPUpload(this);
    d->VelkoHTTPUpload1->setParent(this);
    connectHttp();
    FormCreate();
    SetWizardSteps(GetText(TextUpload),
                   {GetText(TextLogin), GetText(TextSelectAlbum), GetText(TextMaximumSize),
                    GetText(TextUpload)},
                   pics ? &pics->imUpload : &wizard::artwork::upload());
}

TfrmUpload::~TfrmUpload()
{
    stopPreparing();
    stopResizeWorker();
    delete d->VelkoHTTPUpload1;
    d->VelkoHTTPUpload1 = nullptr;
    d->proxyLookup.reset();
}

void TfrmUpload::buildLoginPage()
{
    d->tbLogin = makePage("tbLogin");
    QVBoxLayout* layout = nullptr;

    d->pnLogin = addPanel(d->tbLogin, "pnLogin", layout);
    d->cptLogin = makeLabel(d->pnLogin, "cptLogin", true);
    d->cptLoginInfo = makeLabel(d->pnLogin, "cptLoginInfo", false, true);
    d->lblRegister = makeLink(d->pnLogin, "lblRegister");
    layout->addWidget(d->cptLogin);
    layout->addWidget(d->cptLoginInfo);
    layout->addWidget(d->lblRegister);
    layout->addSpacing(12);
    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    d->cptEmail = makeLabel(d->pnLogin, "cptEmail");
    d->edEmail = new QLineEdit(d->pnLogin);
    d->edEmail->setObjectName(QStringLiteral("edEmail"));
    d->cptPassword = makeLabel(d->pnLogin, "cptPassword");
    d->edPassword = new QLineEdit(d->pnLogin);
    d->edPassword->setObjectName(QStringLiteral("edPassword"));
    d->edPassword->setEchoMode(QLineEdit::Password);
    fields->addWidget(d->cptEmail, 0, 0);
    fields->addWidget(d->edEmail, 0, 1);
    fields->addWidget(d->cptPassword, 1, 0);
    fields->addWidget(d->edPassword, 1, 1);
    fields->setColumnStretch(2, 1);
    d->edEmail->setMinimumWidth(240);
    layout->addLayout(fields);
    d->lblLoginError = makeLabel(d->pnLogin, "lblLoginError", true, true);
    setTextColor(d->lblLoginError, kErrorColor);
    layout->addWidget(d->lblLoginError);
    layout->addStretch(1);
    d->btnLogin = makeButton(d->pnLogin, "btnLogin");
    // Enter in either field logs in.
    d->btnLogin->setDefault(true);
    layout->addLayout(buttonRow({d->btnLogin}));

    d->pnChecking = addPanel(d->tbLogin, "pnChecking", layout);
    d->cptChecking = makeLabel(d->pnChecking, "cptChecking", true);
    layout->addWidget(d->cptChecking);
    layout->addStretch(1);
    d->btnCancelLogin = makeButton(d->pnChecking, "btnCancelLogin");
    layout->addLayout(buttonRow({d->btnCancelLogin}));

    d->pnNonCritical = addPanel(d->tbLogin, "pnNonCritical", layout);
    d->lblNonCritical = makeLabel(d->pnNonCritical, "lblNonCritical", false, true);
    layout->addWidget(d->lblNonCritical);
    layout->addStretch(1);
    d->btnContinue = makeButton(d->pnNonCritical, "btnContinue");
    layout->addLayout(buttonRow({d->btnContinue}));

    d->pnCritical = addPanel(d->tbLogin, "pnCritical", layout);
    d->lblCritical = makeLabel(d->pnCritical, "lblCritical", true, true);
    layout->addWidget(d->lblCritical);
    layout->addStretch(1);

    d->panels[tbLogin] = {d->pnLogin, d->pnChecking, d->pnNonCritical, d->pnCritical};

    connect(d->btnLogin, &QPushButton::clicked, this, &TfrmUpload::btnLoginClick);
    connect(d->btnCancelLogin, &QPushButton::clicked, this, &TfrmUpload::btnCancelLoginClick);
    connect(d->btnContinue, &QPushButton::clicked, this, &TfrmUpload::btnContinueClick);
    connect(d->edEmail, &QLineEdit::textChanged, d->lblLoginError, &QWidget::hide);
    connect(d->edPassword, &QLineEdit::textChanged, d->lblLoginError, &QWidget::hide);
    connect(d->lblRegister, &QLabel::linkActivated, this, &TfrmUpload::lblRegisterClick);
    PageControl1->addWidget(d->tbLogin);
}

void TfrmUpload::buildAlbumPage()
{
    d->tbAlbum = makePage("tbAlbum");
    QVBoxLayout* layout = nullptr;

    d->pnSelectAlbum = addPanel(d->tbAlbum, "pnSelectAlbum", layout);
    d->cptSelectAlbum = makeLabel(d->pnSelectAlbum, "cptSelectAlbum", true);
    d->cptSelectAlbumInfo = makeLabel(d->pnSelectAlbum, "cptSelectAlbumInfo", false, true);
    d->cmbAlbum = new QComboBox(d->pnSelectAlbum);
    d->cmbAlbum->setObjectName(QStringLiteral("cmbAlbum"));
    d->cmbAlbum->setMinimumWidth(300);
    d->btnCreateAlbum = makeLink(d->pnSelectAlbum, "btnCreateAlbum");
    layout->addWidget(d->cptSelectAlbum);
    layout->addWidget(d->cptSelectAlbumInfo);
    layout->addSpacing(8);
    // The create link ends 2 pixels left of the list's right edge.
    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    column->addWidget(d->cmbAlbum);
    auto* linkRow = new QHBoxLayout;
    linkRow->setContentsMargins(0, 0, 2, 0);
    linkRow->addStretch(1);
    linkRow->addWidget(d->btnCreateAlbum);
    column->addLayout(linkRow);
    auto* row = new QHBoxLayout;
    row->addLayout(column);
    row->addStretch(1);
    layout->addLayout(row);
    layout->addStretch(1);
    d->btnPrev1 = makeButton(d->pnSelectAlbum, "btnPrev1");
    d->btnNext1 = makeButton(d->pnSelectAlbum, "btnNext1");
    layout->addLayout(buttonRow({d->btnPrev1, d->btnNext1}));

    d->pnCreatingAlbum = addPanel(d->tbAlbum, "pnCreatingAlbum", layout);
    d->cptCreatingAlbum = makeLabel(d->pnCreatingAlbum, "cptCreatingAlbum", true);
    layout->addWidget(d->cptCreatingAlbum);
    layout->addStretch(1);
    d->btnCancelCreateAlbum = makeButton(d->pnCreatingAlbum, "btnCancelCreateAlbum");
    layout->addLayout(buttonRow({d->btnCancelCreateAlbum}));

    d->panels[tbAlbum] = {d->pnSelectAlbum, d->pnCreatingAlbum};

    connect(d->cmbAlbum, &QComboBox::currentIndexChanged, this, &TfrmUpload::cmbAlbumChange);
    connect(d->btnCreateAlbum, &QLabel::linkActivated, this, &TfrmUpload::btnCreateAlbumClick);
    connect(d->btnCancelCreateAlbum, &QPushButton::clicked, this,
            &TfrmUpload::btnCancelCreateAlbumClick);
    connect(d->btnPrev1, &QPushButton::clicked, this, &TfrmUpload::btnPrev1Click);
    connect(d->btnNext1, &QPushButton::clicked, this, &TfrmUpload::btnNext1Click);
    PageControl1->addWidget(d->tbAlbum);
}

void TfrmUpload::buildFormatPage()
{
    d->tbFormat = namedPanel(nullptr, "tbFormat");
    QVBoxLayout* layout = pageLayout(d->tbFormat);
    d->cptSelectSize = makeLabel(d->tbFormat, "cptSelectSize", true);
    d->cptSelectSizeInfo = makeLabel(d->tbFormat, "cptSelectSizeInfo", false, true);
    d->cmbFormat = new QComboBox(d->tbFormat);
    d->cmbFormat->setObjectName(QStringLiteral("cmbFormat"));
    d->cmbFormat->setMinimumWidth(300);
    layout->addWidget(d->cptSelectSize);
    layout->addWidget(d->cptSelectSizeInfo);
    layout->addSpacing(8);
    auto* row = new QHBoxLayout;
    row->addWidget(d->cmbFormat);
    row->addStretch(1);
    layout->addLayout(row);
    layout->addStretch(1);
    d->btnPrev2 = makeButton(d->tbFormat, "btnPrev2");
    d->btnUpload = makeButton(d->tbFormat, "btnUpload");
    layout->addLayout(buttonRow({d->btnPrev2, d->btnUpload}));

    connect(d->cmbFormat, &QComboBox::currentIndexChanged, this, &TfrmUpload::cmbFormatChange);
    connect(d->btnPrev2, &QPushButton::clicked, this, &TfrmUpload::btnPrevClick);
    connect(d->btnUpload, &QPushButton::clicked, this, &TfrmUpload::btnUploadClick);
    PageControl1->addWidget(d->tbFormat);
}

void TfrmUpload::buildUploadPage()
{
    d->tbUpload = makePage("tbUpload");
    QVBoxLayout* layout = nullptr;
    auto captionAndValue = [](QGridLayout* grid, int row, QLabel* caption, QLabel* value) {
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row, 1);
    };

    d->pnPreparing = addPanel(d->tbUpload, "pnPreparing", layout);
    d->cptPreparing = makeLabel(d->pnPreparing, "cptPreparing", true);
    layout->addWidget(d->cptPreparing);
    auto* counts = new QGridLayout;
    counts->setHorizontalSpacing(8);
    counts->setColumnStretch(1, 1);
    d->cptNrPrepared = makeLabel(d->pnPreparing, "cptNrPrepared");
    d->lblNrPrepared = makeLabel(d->pnPreparing, "lblNrPrepared");
    d->cptNrToPrepare = makeLabel(d->pnPreparing, "cptNrToPrepare");
    d->lblNrToPrepare = makeLabel(d->pnPreparing, "lblNrToPrepare");
    captionAndValue(counts, 0, d->cptNrPrepared, d->lblNrPrepared);
    captionAndValue(counts, 1, d->cptNrToPrepare, d->lblNrToPrepare);
    layout->addLayout(counts);
    layout->addStretch(1);
    d->btnCancelPrepare = makeButton(d->pnPreparing, "btnCancelPrepare");
    layout->addLayout(buttonRow({d->btnCancelPrepare}));

    d->pnCheckingFreeSpace = addPanel(d->tbUpload, "pnCheckingFreeSpace", layout);
    d->cptCheckingFreeSpace = makeLabel(d->pnCheckingFreeSpace, "cptCheckingFreeSpace", true);
    layout->addWidget(d->cptCheckingFreeSpace);
    layout->addStretch(1);
    d->btnCancelFreeSpace = makeButton(d->pnCheckingFreeSpace, "btnCancelFreeSpace");
    layout->addLayout(buttonRow({d->btnCancelFreeSpace}));

    d->pnNotEnoughSpace = addPanel(d->tbUpload, "pnNotEnoughSpace", layout);
    d->cptNotEnoughSpace = makeLabel(d->pnNotEnoughSpace, "cptNotEnoughSpace", true, true);
    layout->addWidget(d->cptNotEnoughSpace);
    auto* space = new QGridLayout;
    space->setHorizontalSpacing(8);
    space->setColumnStretch(1, 1);
    d->cptSelectionSpace = makeLabel(d->pnNotEnoughSpace, "cptSelectionSpace");
    d->lblSelectionSpace = makeLabel(d->pnNotEnoughSpace, "lblSelectionSpace");
    d->cptFreeSpace = makeLabel(d->pnNotEnoughSpace, "cptFreeSpace");
    d->lblFreeSpace = makeLabel(d->pnNotEnoughSpace, "lblFreeSpace");
    captionAndValue(space, 0, d->cptSelectionSpace, d->lblSelectionSpace);
    captionAndValue(space, 1, d->cptFreeSpace, d->lblFreeSpace);
    layout->addLayout(space);
    d->cptFreeSpaceInfo = makeLabel(d->pnNotEnoughSpace, "cptFreeSpaceInfo", false, true);
    layout->addWidget(d->cptFreeSpaceInfo);
    layout->addStretch(1);
    d->btnPrev = makeButton(d->pnNotEnoughSpace, "btnPrev");
    d->btnRetry = makeButton(d->pnNotEnoughSpace, "btnRetry");
    d->btnClose = makeButton(d->pnNotEnoughSpace, "btnClose");
    layout->addLayout(buttonRow({d->btnPrev, d->btnRetry, d->btnClose}));

    d->pnUpload = addPanel(d->tbUpload, "pnUpload", layout);
    auto* heading = new QHBoxLayout;
    d->cptUploading = makeLabel(d->pnUpload, "cptUploading", true);
    d->lblUploadNo = makeLabel(d->pnUpload, "lblUploadNo", true);
    heading->addWidget(d->cptUploading);
    heading->addWidget(d->lblUploadNo);
    heading->addStretch(1);
    layout->addLayout(heading);
    auto* bar = new QHBoxLayout;
    d->ProgressBar1 = new QProgressBar(d->pnUpload);
    d->ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    d->ProgressBar1->setRange(0, 100);
    d->ProgressBar1->setTextVisible(false);
    d->ProgressBar1->setFixedHeight(18);
    d->lblPct = makeLabel(d->pnUpload, "lblPct");
    d->lblPct->setMinimumWidth(40);
    d->lblTotalUpload = makeLabel(d->pnUpload, "lblTotalUpload");
    bar->addWidget(d->ProgressBar1, 1);
    bar->addWidget(d->lblPct);
    bar->addWidget(d->lblTotalUpload);
    layout->addLayout(bar);
    auto* figures = new QGridLayout;
    figures->setHorizontalSpacing(8);
    figures->setColumnStretch(1, 1);
    d->cptExpectedTimeLeft = makeLabel(d->pnUpload, "cptExpectedTimeLeft");
    d->lblTimeLeft = makeLabel(d->pnUpload, "lblTimeLeft");
    d->cptSpaceLeft = makeLabel(d->pnUpload, "cptSpaceLeft");
    d->lblSpaceLeft = makeLabel(d->pnUpload, "lblSpaceLeft");
    captionAndValue(figures, 0, d->cptExpectedTimeLeft, d->lblTimeLeft);
    captionAndValue(figures, 1, d->cptSpaceLeft, d->lblSpaceLeft);
    layout->addLayout(figures);
    layout->addStretch(1);
    d->btnCancelUpload = makeButton(d->pnUpload, "btnCancelUpload");
    layout->addLayout(buttonRow({d->btnCancelUpload}));

    d->pnCompleted = addPanel(d->tbUpload, "pnCompleted", layout);
    d->lblCompleted = makeLabel(d->pnCompleted, "lblCompleted", true, true);
    d->lblEditAlbum = makeLink(d->pnCompleted, "lblEditAlbum");
    layout->addWidget(d->lblCompleted);
    layout->addWidget(d->lblEditAlbum);
    layout->addStretch(1);
    d->btnClose2 = makeButton(d->pnCompleted, "btnClose2");
    layout->addLayout(buttonRow({d->btnClose2}));

    d->pnCanceled = addPanel(d->tbUpload, "pnCanceled", layout);
    d->cptCanceled = makeLabel(d->pnCanceled, "cptCanceled", true);
    layout->addWidget(d->cptCanceled);
    layout->addStretch(1);
    d->btnClose3 = makeButton(d->pnCanceled, "btnClose3");
    layout->addLayout(buttonRow({d->btnClose3}));

    d->pnUploadError = addPanel(d->tbUpload, "pnUploadError", layout);
    d->lblUploadError = makeLabel(d->pnUploadError, "lblUploadError", true, true);
    setTextColor(d->lblUploadError, kErrorColor);
    d->lblUploadError->setTextInteractionFlags(Qt::TextSelectableByMouse);
    d->cptErrorInfo = makeLink(d->pnUploadError, "cptErrorInfo");
    layout->addWidget(d->lblUploadError);
    layout->addWidget(d->cptErrorInfo);
    layout->addStretch(1);
    d->btnClose4 = makeButton(d->pnUploadError, "btnClose4");
    layout->addLayout(buttonRow({d->btnClose4}));

    d->panels[tbUpload] = {d->pnPreparing, d->pnCheckingFreeSpace, d->pnNotEnoughSpace, d->pnUpload,
                           d->pnCompleted, d->pnCanceled,          d->pnUploadError};

    connect(d->btnCancelPrepare, &QPushButton::clicked, this, &TfrmUpload::btnCancelPrepareClick);
    connect(d->btnCancelFreeSpace, &QPushButton::clicked, this,
            &TfrmUpload::btnCancelFreeSpaceClick);
    connect(d->btnCancelUpload, &QPushButton::clicked, this, &TfrmUpload::btnCancelUploadClick);
    connect(d->btnPrev, &QPushButton::clicked, this, &TfrmUpload::btnPrevClick);
    connect(d->btnRetry, &QPushButton::clicked, this, &TfrmUpload::btnUploadClick);
    for (QPushButton* close : {d->btnClose, d->btnClose2, d->btnClose3, d->btnClose4})
        connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(d->lblEditAlbum, &QLabel::linkActivated, this, &TfrmUpload::lblEditAlbumClick);
    connect(d->cptErrorInfo, &QLabel::linkActivated, this, &TfrmUpload::cptErrorInfoClick);
    PageControl1->addWidget(d->tbUpload);
}

void TfrmUpload::connectHttp()
{
    TVelkoHTTPUpload* http = d->VelkoHTTPUpload1;
    http->OnCompleted = [this](QObject*, const QByteArray& response, const QString&, bool&) {
        VelkoHTTPUpload1Completed(response);
    };
    http->OnError = [this](QObject*, quint32 code, quint16 type, quint16 debug,
                           const QString& text) { VelkoHTTPUpload1Error(code, type, debug, text); };
    http->OnCanceled = [this](QObject*) { VelkoHTTPUpload1Canceled(); };
    http->OnBytesSent = [this](QObject*, quint32 sent, quint32 total) {
        VelkoHTTPUpload1BytesSent(sent, total);
    };
}

void TfrmUpload::FormCreate()
{
    d->account.LoadSettings();
    d->formats.fillStandard();
    d->account.settleUploadFormat(d->formats);
    d->siteHost = siteHostSetting();
    d->edEmail->setText(d->account.userName);
    d->edPassword->clear();
    // A returning user only types the password.
    if (!d->account.userName.isEmpty()) {
        setTabOrder(d->edPassword, d->btnLogin);
        setTabOrder(d->btnLogin, d->edEmail);
        d->edPassword->setFocus();
    } else {
        setTabOrder(d->edEmail, d->edPassword);
        setTabOrder(d->edPassword, d->btnLogin);
        d->edEmail->setFocus();
    }
    d->lblLoginError->hide();
    ShowPanel(tbLogin, d->pnLogin);
}

void TfrmUpload::ApplyTexts()
{
    const QString previous = previousButtonText();
    d->cptLogin->setText(GetText(TextLogin));
    d->btnLogin->setText(GetText(TextLogin));
    d->cptLoginInfo->setText(GetText(TextLoginInfo));
    d->cptEmail->setText(GetText(TextEmail));
    d->cptPassword->setText(GetText(TextPassword));
    d->btnContinue->setText(GetText(TextContinue));
    d->cptChecking->setText(GetText(TextChecking));
    d->cptSelectAlbum->setText(GetText(TextSelectAlbum));
    d->cptSelectAlbumInfo->setText(GetText(TextSelectAlbumInfo));
    setLinkText(d->btnCreateAlbum, GetText(TextCreateAlbum));
    d->cptCreatingAlbum->setText(GetText(TextCreatingAlbum));
    d->btnPrev1->setText(previous);
    d->btnPrev2->setText(previous);
    d->btnNext1->setText(nextButtonText());
    d->cptSelectSize->setText(GetText(TextMaximumSize));
    d->cptSelectSizeInfo->setText(GetText(TextSelectSizeInfo));
    d->btnUpload->setText(GetText(TextUpload));
    d->cptNotEnoughSpace->setText(GetText(TextNotEnoughSpace));
    d->cptSelectionSpace->setText(GetText(TextSelectionSpace));
    d->cptFreeSpace->setText(GetText(TextFreeSpace));
    d->cptFreeSpaceInfo->setText(GetText(TextFreeSpaceInfo));
    d->cptPreparing->setText(GetText(TextPreparing));
    d->cptNrPrepared->setText(GetText(TextNrPrepared));
    d->cptNrToPrepare->setText(GetText(TextNrToPrepare));
    d->cptCanceled->setText(GetText(TextCanceled));
    setLinkText(d->cptErrorInfo, GetText(TextErrorInfo));
    d->cptCheckingFreeSpace->setText(GetText(TextCheckingFreeSpace));
    d->cptUploading->setText(GetText(TextUploading));
    d->cptExpectedTimeLeft->setText(GetText(TextTimeLeft));
    d->cptSpaceLeft->setText(GetText(TextFreeSpace));
    d->btnPrev->setText(GetText(TextPrevious));
    d->btnRetry->setText(GetText(TextRetry));
    for (QPushButton* close : {d->btnClose, d->btnClose2, d->btnClose3, d->btnClose4})
        close->setText(GetText(TextClose));
    for (QPushButton* cancel : {d->btnCancelLogin, d->btnCancelCreateAlbum, d->btnCancelPrepare,
                                d->btnCancelFreeSpace, d->btnCancelUpload})
        cancel->setText(GetText(TextCancel));
    d->lblCompleted->setText(GetText(TextCompleted));
    setLinkText(d->lblEditAlbum, GetText(TextEditAlbum));
    setLinkText(d->lblRegister, d->siteHost + QStringLiteral("/register"));
}

void TfrmUpload::showEvent(QShowEvent* event)
{
    TfrmWizard::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmUpload::FormShow()
{
    // The site may have been configured since the window was made.
    const QString host = siteHostSetting();
    if (host != d->siteHost) {
        d->siteHost = host;
        setLinkText(d->lblRegister, d->siteHost + QStringLiteral("/register"));
    }
    d->total = 0;
    if (ActivePageIndex() != tbLogin && d->account.hasSession()) {
        showAlbums();
    } else if (!panelShownOn(tbLogin, d->pnLogin) && !panelShownOn(tbLogin, d->pnCritical)) {
        d->lblLoginError->hide();
        ShowPanel(tbLogin, d->pnLogin);
    }
}

void TfrmUpload::SetPhotoFiles(const QStringList& files)
{
    d->files = files;
    d->expectedSizes = QList<qint64>(files.size(), 0);
}

QStringList TfrmUpload::photoFiles() const
{
    return d->files;
}

QString TfrmUpload::shownPanel() const
{
    const int page = ActivePageIndex();
    if (page < 0 || page >= int(d->panels.size()))
        return {};
    if (page == tbFormat)
        return d->tbFormat->objectName();
    for (QWidget* panel : d->panels[page])
        if (!panel->isHidden())
            return panel->objectName();
    return {};
}

qint64 TfrmUpload::totalBytes() const
{
    return d->total;
}

bool TfrmUpload::isBusy() const
{
    return d->proxyLookup != nullptr || d->VelkoHTTPUpload1->isBusy() ||
           (d->pipeline && d->pipeline->isActive()) || d->worker != nullptr;
}

void TfrmUpload::done(int result)
{
    if (panelShownOn(tbLogin, d->pnChecking))
        btnCancelLoginClick();
    else if (panelShownOn(tbUpload, d->pnPreparing))
        btnCancelPrepareClick();
    else if (panelShownOn(tbUpload, d->pnCheckingFreeSpace))
        btnCancelFreeSpaceClick();
    else if (panelShownOn(tbUpload, d->pnUpload))
        btnCancelUploadClick();
    else if (panelShownOn(tbAlbum, d->pnCreatingAlbum))
        btnCancelCreateAlbumClick();
    else
        TfrmWizard::done(result);
}

void TfrmUpload::ShowPanel(int page, QWidget* panel)
{
    for (QWidget* other : d->panels[std::size_t(page)])
        other->setVisible(other == panel);
    if (ActivePageIndex() != page)
        setActivePageIndex(page);
    emit panelShown(panel ? panel->objectName() : QString());
}

bool TfrmUpload::panelShownOn(int page, const QWidget* panel) const
{
    return ActivePageIndex() == page && !panel->isHidden();
}

// ---- Login ----

void TfrmUpload::btnLoginClick()
{
    if (!panelShownOn(tbLogin, d->pnLogin))
        return;
    if (d->edEmail->text().trimmed().isEmpty()) {
        showMessage(this, QMessageBox::Information, GetText(TextEmailEmpty), "msgEmailEmpty");
        d->edEmail->setFocus();
        return;
    }
    if (d->edPassword->text().trimmed().isEmpty()) {
        showMessage(this, QMessageBox::Information, GetText(TextPasswordEmpty), "msgPasswordEmpty");
        d->edPassword->setFocus();
        return;
    }
    if (d->account.hasSession() || d->throughProxy) {
        sendLogin(d->throughProxy.value_or(false));
        return;
    }
    // The lookup may fetch a PAC file from the network: never on this thread.
    d->proxyLookupWanted = true;
    ShowPanel(tbLogin, d->pnChecking);
    if (d->proxyLookup)
        return; // a lookup abandoned by Cancel is still on its way; its answer serves
    d->proxyLookup = std::make_unique<ProxyLookupThread>(
        [this](const WindowMessage& message) -> qintptr {
            if (message.id != WM_PROXY_FOUND)
                return 0;
            d->throughProxy = message.wParam != 0;
            // The lookup ends once this returns; it is joined from the event loop.
            QMetaObject::invokeMethod(
                this, [this] { proxyLookupDone(); }, Qt::QueuedConnection);
            return 0;
        },
        d->siteHost);
    if (!d->proxyLookup->start()) {
        d->proxyLookup.reset();
        d->throughProxy = false;
        proxyLookupDone();
    }
}

void TfrmUpload::proxyLookupDone()
{
    d->proxyLookup.reset();
    if (std::exchange(d->proxyLookupWanted, false) && panelShownOn(tbLogin, d->pnChecking))
        sendLogin(d->throughProxy.value_or(false));
}

void TfrmUpload::sendLogin(bool throughProxy)
{
    d->sentEmail = d->edEmail->text();
    d->sentPassword = d->edPassword->text();
    const RequestBody request =
        buildLoginRequest(d->account, d->sentEmail, d->sentPassword, throughProxy);
    if (!request.ok()) {
        d->lblLoginError->setText(request.error);
        d->lblLoginError->show();
        ShowPanel(tbLogin, d->pnLogin);
        return;
    }
    if (sendToSite(d->siteHost, kLoginPage, request.body))
        ShowPanel(tbLogin, d->pnChecking);
    else
        ShowPanel(tbLogin, d->pnLogin);
}

void TfrmUpload::btnCancelLoginClick()
{
    if (d->proxyLookupWanted) {
        d->proxyLookupWanted = false;
        d->lblLoginError->hide();
        ShowPanel(tbLogin, d->pnLogin);
        return;
    }
    cancelRequest();
}

void TfrmUpload::cancelRequest()
{
    if (d->VelkoHTTPUpload1->Cancel())
        d->cancelRequested = true;
    else
        VelkoHTTPUpload1Canceled();
}

void TfrmUpload::loginAnswered(const QByteArray& response)
{
    const LoginAnswer answer =
        readLoginAnswer(response, d->account, d->formats, d->sentEmail, d->sentPassword);
    if (answer.status == AnswerStatus::Refused) {
        d->lblLoginError->setText(answer.text);
        d->lblLoginError->show();
        ShowPanel(tbLogin, d->pnLogin);
        return;
    }
    if (answer.status == AnswerStatus::Malformed) {
        showError(answer.text);
        return;
    }
    if (answer.messageKind == 2) {
        d->lblCritical->setText(answer.message);
        ShowPanel(tbLogin, d->pnCritical);
        return;
    }
    fillAlbums();
    if (!answer.offeredSizes.isEmpty()) {
        const QSignalBlocker blocker(d->cmbFormat);
        d->cmbFormat->clear();
        for (const OfferedSize& size : answer.offeredSizes)
            d->cmbFormat->addItem(size.text, size.format.toSetting());
        d->cmbFormat->setCurrentIndex(answer.chosenSize);
    }
    if (answer.messageKind == 1) {
        d->lblNonCritical->setText(answer.message);
        ShowPanel(tbLogin, d->pnNonCritical);
        return;
    }
    showAlbums();
}

void TfrmUpload::fillAlbums()
{
    const QSignalBlocker blocker(d->cmbAlbum);
    d->cmbAlbum->clear();
    for (const TPhotoAlbum& album : d->account.albums)
        d->cmbAlbum->addItem(album.name);
    d->cmbAlbum->setCurrentIndex(d->account.albums.indexOfId(d->account.albumId));
}

void TfrmUpload::btnContinueClick()
{
    showAlbums();
}

void TfrmUpload::showAlbums()
{
    d->btnNext1->setEnabled(d->cmbAlbum->count() > 0);
    ShowPanel(tbAlbum, d->pnSelectAlbum);
}

void TfrmUpload::lblRegisterClick()
{
    openLink(siteBaseUrl() + QStringLiteral("/register"));
}

// ---- Album ----

void TfrmUpload::cmbAlbumChange(int index)
{
    if (index < 0 || index >= d->account.albums.count())
        return;
    d->account.albumId = d->account.albums.at(index).id;
    d->account.SaveSettings();
}

void TfrmUpload::btnNext1Click()
{
    if (d->cmbAlbum->currentIndex() < 0)
        return;
    setActivePageIndex(tbFormat);
    emit panelShown(d->tbFormat->objectName());
}

void TfrmUpload::btnPrev1Click()
{
    d->lblLoginError->clear();
    d->lblLoginError->hide();
    ShowPanel(tbLogin, d->pnLogin);
}

void TfrmUpload::btnCreateAlbumClick()
{
    TfrmAddPhotobook dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString name = dialog.name().trimmed(); // the edit holds at most 100 characters
    if (name.isEmpty())
        return;
    d->newAlbumName = name;
    const RequestBody request = buildCreateAlbumRequest(d->account, name);
    if (!request.ok()) {
        showError(request.error);
        return;
    }
    ShowPanel(tbAlbum, d->pnCreatingAlbum);
    if (!sendToSite(d->siteHost, kCreateAlbumPage, request.body))
        ShowPanel(tbAlbum, d->pnSelectAlbum);
}

void TfrmUpload::btnCancelCreateAlbumClick()
{
    cancelRequest();
}

void TfrmUpload::createAlbumAnswered(const QByteArray& response)
{
    const AnswerResult answer = readCreateAlbumAnswer(response, d->account, d->newAlbumName);
    if (!answer.ok()) {
        showError(answer.text);
        return;
    }
    fillAlbums();
    showAlbums();
}

// ---- Size ----

void TfrmUpload::cmbFormatChange(int index)
{
    if (index < 0)
        return;
    const TUploadFormat format = d->chosenFormat();
    if (format == d->account.uploadFormat)
        return;
    d->account.uploadFormat = format;
    d->account.SaveSettings();
    d->total = 0;
}

void TfrmUpload::btnPrevClick()
{
    setActivePageIndex(tbFormat);
    emit panelShown(d->tbFormat->objectName());
}

// ---- Upload ----

void TfrmUpload::btnUploadClick()
{
    if (d->cmbFormat->currentIndex() < 0 || d->files.isEmpty())
        return;
    if (d->total > 0)
        checkFreeSpace();
    else
        startPreparing();
}

void TfrmUpload::startPreparing()
{
    stopPreparing();
    d->index = 0;
    d->total = 0;
    d->expectedSizes = QList<qint64>(d->files.size(), 0);
    d->lblNrPrepared->setText(QStringLiteral("1"));
    d->lblNrToPrepare->setText(QString::number(d->files.size()));
    ShowPanel(tbUpload, d->pnPreparing);

    const TUploadFormat format = d->chosenFormat();
    d->pipeline = new upload::PreparePipeline(
        d->files, format.width, format.height, d->account.limits.maxImageBytes,
        QThread::idealThreadCount(),
        // The pipeline counts in the list it was given; photos dropped since shift the
        // wizard's list, whose next photo is always d->index.
        [this](int, const std::optional<UploadImage>& image) {
            photoPrepared(d->index, image.has_value(), image ? image->bytes.size() : 0);
        },
        [this] { preparingDone(); }, this);
    d->pipeline->start();
}

void TfrmUpload::photoPrepared(int index, bool made, qint64 bytes)
{
    if (made) {
        d->total += bytes;
        d->expectedSizes[index] = bytes;
        d->index = index + 1;
        d->lblNrPrepared->setText(QString::number(qMin(d->index + 1, int(d->files.size()))));
    } else {
        // Left out silently: it cannot be made within the site's limits.
        d->files.removeAt(index);
        d->expectedSizes.removeAt(index);
        d->lblNrToPrepare->setText(QString::number(d->files.size()));
    }
    const qint64 cap = d->account.limits.preparationCap;
    if (cap > 0 && d->total > cap) {
        stopPreparing();
        checkFreeSpace();
    }
}

void TfrmUpload::preparingDone()
{
    stopPreparing();
    checkFreeSpace();
}

void TfrmUpload::stopPreparing()
{
    if (!d->pipeline)
        return;
    d->pipeline->cancel();
    // Perhaps inside one of its own handlers.
    d->pipeline->deleteLater();
    d->pipeline = nullptr;
}

void TfrmUpload::checkFreeSpace()
{
    const RequestBody request = buildFreeSpaceRequest(d->account);
    if (!request.ok()) {
        showError(request.error);
        return;
    }
    ShowPanel(tbUpload, d->pnCheckingFreeSpace);
    if (!sendToSite(d->siteHost, kFreeSpacePage, request.body))
        showError(GetText(TextUnexpectedError));
}

void TfrmUpload::freeSpaceAnswered(const QByteArray& response)
{
    const AnswerResult answer = readFreeSpaceAnswer(response, d->account);
    if (!answer.ok()) {
        showError(answer.text);
        return;
    }
    if (d->account.freeSpace < d->total)
        showNotEnoughSpace();
    else
        startUploadPass();
}

void TfrmUpload::showNotEnoughSpace()
{
    const qint64 freeSpace = d->account.freeSpace;
    const qint64 cap = d->account.limits.preparationCap;
    d->lblFreeSpace->setText(FormatByteSize(freeSpace, false) + QStringLiteral(" (") +
                             FormatByteSize(freeSpace, true) + QLatin1Char(')'));
    if (cap > 0 && cap < d->total)
        d->lblSelectionSpace->setText(QStringLiteral("> ") + FormatByteSize(cap, false));
    else
        d->lblSelectionSpace->setText(FormatByteSize(d->total, false) + QStringLiteral(" (") +
                                      FormatByteSize(d->total, true) + QLatin1Char(')'));
    ShowPanel(tbUpload, d->pnNotEnoughSpace);
}

void TfrmUpload::startUploadPass()
{
    d->index = 0;
    d->bytesDone = 0;
    d->progress.start(d->clock.elapsed());
    d->lblUploadNo->setText(QStringLiteral("(1/%1)").arg(d->files.size()));
    d->ProgressBar1->setValue(0);
    d->lblPct->setText(QStringLiteral("0 %"));
    d->lblSpaceLeft->setText(FormatByteSize(d->account.freeSpace, false));
    d->lblTimeLeft->clear();
    d->lblTotalUpload->setText(FormatByteSize(d->total, false));
    ShowPanel(tbUpload, d->pnUpload);
    beginPhoto();
}

void TfrmUpload::beginPhoto()
{
    if (d->index >= d->files.size()) {
        ShowPanel(tbUpload, d->pnCompleted);
        return;
    }
    d->lblUploadNo->setText(QStringLiteral("(%1/%2)").arg(d->index + 1).arg(d->files.size()));
    const TUploadFormat format = d->chosenFormat();
    startResizeWorker(int(ResizeMode::MainImage), format.width, format.height);
}

void TfrmUpload::startResizeWorker(int mode, int width, int height)
{
    stopResizeWorker();
    ResizeJob job{d->files[d->index], ResizeMode(mode), width, height,
                  d->account.limits.maxImageBytes};
    d->worker = std::make_unique<TResizeImageThread>(
        [this](const WindowMessage& message) { return resizeWindowProc(message); }, job);
    if (!d->worker->start()) {
        d->worker.reset();
        showError(GetText(TextUnexpectedError));
    }
}

qintptr TfrmUpload::resizeWindowProc(const WindowMessage& message)
{
    if (message.id != WM_UPLOAD_IMAGE_READY || !d->worker)
        return 0;
    // Copied while the worker waits; the rest runs once it has ended.
    const std::optional<UploadImage> image = d->worker->takeResult();
    const int mode = int(d->worker->job().mode);
    const int serial = d->workerSerial;
    QMetaObject::invokeMethod(
        this,
        [this, serial, mode, image] {
            if (serial != d->workerSerial)
                return;
            stopResizeWorker();
            imageReady(mode, image ? image->bytes : QByteArray(), image ? image->width : 0,
                       image ? image->height : 0, image.has_value());
        },
        Qt::QueuedConnection);
    return 0;
}

void TfrmUpload::stopResizeWorker()
{
    if (!d->worker)
        return;
    ++d->workerSerial;
    d->worker->stop();
    d->worker.reset();
}

void TfrmUpload::imageReady(int mode, const QByteArray& bytes, int width, int height, bool made)
{
    if (!panelShownOn(tbUpload, d->pnUpload))
        return;
    try {
        switch (ResizeMode(mode)) {
        case ResizeMode::MainImage:
            mainImageReady(bytes, width, height, made);
            break;
        case ResizeMode::DisplayCopy:
            displayCopyReady(bytes, made);
            break;
        case ResizeMode::Thumbnail:
            thumbnailReady(bytes, made);
            break;
        }
    } catch (const std::exception&) {
        showError(GetText(TextUnexpectedError));
    }
}

void TfrmUpload::mainImageReady(const QByteArray& bytes, int width, int height, bool made)
{
    d->photo = UploadPhoto{d->files[d->index], {}, 0, 0, {}, {}};
    if (!made) {
        nextPhoto();
        return;
    }
    d->photo.mainImage = bytes;
    d->photo.width = width;
    d->photo.height = height;
    // A photo the preparing pass did not reach (its cap) joins the total now, so that the
    // progress never runs past the end.
    if (d->expectedSizes[d->index] == 0) {
        d->expectedSizes[d->index] = bytes.size();
        d->total += bytes.size();
        d->lblTotalUpload->setText(FormatByteSize(d->total, false));
    }
    const TUploadFormat format = d->chosenFormat();
    const TLoginLimits& limits = d->account.limits;
    if (wantsDisplayCopy(format.width, format.height, limits.standardWidth, limits.standardHeight,
                         limits.displayCopyMode))
        startResizeWorker(int(ResizeMode::DisplayCopy), limits.standardWidth,
                          limits.standardHeight);
    else
        startResizeWorker(int(ResizeMode::Thumbnail), limits.thumbnailSize, limits.thumbnailSize);
}

void TfrmUpload::displayCopyReady(const QByteArray& bytes, bool made)
{
    const TLoginLimits& limits = d->account.limits;
    if (made) {
        d->photo.displayCopy = bytes;
        if (limits.displayCopyMode == DisplayCopyByCost) {
            const qint64 mainBytes = d->photo.mainImage.size();
            const double speed =
                TVelkoHTTPUpload::EstimateSpeed(qint32(mainBytes + bytes.size() + 8000));
            if (!keepDisplayCopy(bytes.size(), mainBytes, limits.displayCopyPercent,
                                 limits.displayCopySeconds, speed))
                d->photo.displayCopy.clear();
        }
    }
    startResizeWorker(int(ResizeMode::Thumbnail), limits.thumbnailSize, limits.thumbnailSize);
}

void TfrmUpload::thumbnailReady(const QByteArray& bytes, bool made)
{
    if (made)
        d->photo.thumbnail = bytes;
    const RequestBody request = buildUploadRequest(d->account, d->photo);
    if (!request.ok()) {
        showError(request.error);
        return;
    }
    if (!sendToSite(d->account.uploadHost, kUploadPage, request.body))
        showError(GetText(TextUnexpectedError));
}

void TfrmUpload::uploadAnswered(const QByteArray& response)
{
    const AnswerResult answer = readUploadAnswer(response, d->account);
    if (!answer.ok()) {
        showError(answer.text);
        return;
    }
    d->lblSpaceLeft->setText(FormatByteSize(d->account.freeSpace, false));
    nextPhoto();
}

void TfrmUpload::nextPhoto()
{
    d->bytesDone += d->expectedSize(d->index);
    d->photo = {};
    ++d->index;
    beginPhoto();
}

void TfrmUpload::btnCancelPrepareClick()
{
    stopPreparing();
    stopResizeWorker();
    ShowPanel(tbUpload, d->pnCanceled);
}

void TfrmUpload::btnCancelFreeSpaceClick()
{
    cancelRequest();
}

void TfrmUpload::btnCancelUploadClick()
{
    if (d->VelkoHTTPUpload1->Cancel()) {
        d->cancelRequested = true;
        // A worker runs only between two requests: the one cancelled had already ended.
        if (!d->worker)
            return;
    }
    stopResizeWorker();
    d->photo = {};
    ShowPanel(tbUpload, d->pnCanceled);
}

void TfrmUpload::lblEditAlbumClick()
{
    const TPhotoAlbum* album = d->account.chosenAlbum();
    if (album)
        openLink(siteBaseUrl() + album->path + QStringLiteral("edit/"));
    else
        openLink(siteBaseUrl() + QLatin1Char('/') + d->account.userPath + QStringLiteral("/edit/"));
}

void TfrmUpload::cptErrorInfoClick()
{
    openLink(d->errorInfoAddress);
}

// ---- The HTTP component ----

void TfrmUpload::VelkoHTTPUpload1Completed(const QByteArray& response)
{
    if (std::exchange(d->cancelRequested, false)) {
        VelkoHTTPUpload1Canceled();
        return;
    }
    try {
        if (ActivePageIndex() == tbLogin)
            loginAnswered(response);
        else if (panelShownOn(tbUpload, d->pnCheckingFreeSpace))
            freeSpaceAnswered(response);
        else if (panelShownOn(tbUpload, d->pnUpload))
            uploadAnswered(response);
        else if (panelShownOn(tbAlbum, d->pnCreatingAlbum))
            createAlbumAnswered(response);
    } catch (const std::exception&) {
        showError(GetText(TextUnexpectedError));
    }
}

void TfrmUpload::VelkoHTTPUpload1Error(quint32 errCode, quint16 errType, quint16 debugVal,
                                       const QString& errText)
{
    if (std::exchange(d->cancelRequested, false)) {
        VelkoHTTPUpload1Canceled();
        return;
    }
    if (errType > etException) {
        showError(errText);
        return;
    }
    const QString code = errorCodeText(errType, int(errCode), debugVal);
    showError(code + QStringLiteral(": ") + errText,
              errorInfoAddress(d->siteHost, code, debugVal, ProgramFileVersion(),
                               QLatin1String(kApplicationTitle)));
}

void TfrmUpload::showError(const QString& text, const QString& infoAddress)
{
    d->lblUploadError->setText(text);
    d->errorInfoAddress = infoAddress;
    d->cptErrorInfo->setVisible(!infoAddress.isEmpty());
    stopPreparing();
    stopResizeWorker();
    ShowPanel(tbUpload, d->pnUploadError);
}

void TfrmUpload::VelkoHTTPUpload1Canceled()
{
    d->cancelRequested = false;
    switch (ActivePageIndex()) {
    case tbLogin:
        d->lblLoginError->clear();
        d->lblLoginError->hide();
        ShowPanel(tbLogin, d->pnLogin);
        break;
    case tbAlbum:
        ShowPanel(tbAlbum, d->pnSelectAlbum);
        break;
    case tbUpload:
        stopResizeWorker();
        ShowPanel(tbUpload, d->pnCanceled);
        break;
    default:
        break;
    }
}

void TfrmUpload::VelkoHTTPUpload1BytesSent(quint32 bytesSent, quint32 totalBytes)
{
    if (!panelShownOn(tbUpload, d->pnUpload) || totalBytes == 0 || d->total <= 0)
        return;
    const UploadProgress::Shown shown =
        d->progress.update(d->expectedSize(d->index), bytesSent, totalBytes, d->bytesDone, d->total,
                           d->clock.elapsed());
    d->ProgressBar1->setValue(shown.percent);
    d->lblPct->setText(shown.percentText);
    if (shown.timeLeftChanged)
        d->lblTimeLeft->setText(shown.timeLeftText);
}

bool TfrmUpload::sendToSite(const QString& server, const char* page, const QByteArray& body)
{
    d->cancelRequested = false;
    return d->VelkoHTTPUpload1->SendRequest(server, QLatin1String(page),
                                            TVelkoHTTPPostType::hpMultipart, body);
}

QString TfrmUpload::siteBaseUrl() const
{
    return parseServerString(d->siteHost).baseUrl();
}

void TfrmUpload::openLink(const QString& address)
{
    if (!address.isEmpty())
        QDesktopServices::openUrl(QUrl(address));
}

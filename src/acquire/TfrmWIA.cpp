#include "TfrmWIA.h"

#include "ProgramVersion.h"
#include "TSaveSnapshotThread.h"
#include "TWIAWebcam.h"
#include "WaitCursor.h"
#include "WebcamDevices.h"
#include "WizardPageWidgets.h"
#include "uLanguage.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cstring>
#include <optional>

using namespace wizardpage;

namespace {

enum : unsigned
{
    TextClose = 4,
    TextOk = 7,
    TextTitle = 120,
    TextStepSelectWebcam = 850,
    TextStepMakeSnapshot = 851,
    TextSelectWebcam = 852,
    TextTakePicture = 853,
    TextTakeAnother = 854,
    TextAccept = 855,
    TextNotSaved = 856,
    TextNotStarted = 857,
};

const QSize kPageArea(520, 432);
const QSize kButtonSize(89, 25);

// A row of buttons at the left of the page's bottom line.
QWidget* buttonPanel(QWidget* parent, const char* name, std::initializer_list<QWidget*> buttons)
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(QLatin1String(name));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    for (QWidget* button : buttons) {
        button->setParent(panel);
        row->addWidget(button);
    }
    row->addStretch(1);
    return panel;
}

void showWarning(QWidget* parent, const QString& text, const char* name)
{
    QMessageBox box(QMessageBox::Warning, QLatin1String(kApplicationTitle), text,
                    QMessageBox::NoButton, parent);
    box.setObjectName(QLatin1String(name));
    box.addButton(GetText(TextOk), QMessageBox::AcceptRole);
    box.exec();
}

} // namespace

struct TfrmWIA::Private
{
    TWIAWebcamList* webcams = nullptr;
    QString targetFolder;

    QWidget* tbSelectWIADevice = nullptr;
    QLabel* lblSelectWIADevice = nullptr;
    QListWidget* lbxWIADevices = nullptr;
    QPushButton* btnNext = nullptr;

    QWidget* tbTakePicture = nullptr;
    QFrame* pnVideoBorder = nullptr;
    QWidget* pnVideoPicture = nullptr;
    QWidget* pnTakePicture = nullptr;
    QPushButton* btnTakePicture = nullptr;
    QWidget* pnSave = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnTakeOther = nullptr;
    QPushButton* btnClose = nullptr;

    // From the click on Next until the first frame shows (or the camera fails).
    std::optional<WaitCursor> opening;
    QTimer firstFrameTimeout;
    // While an accepted snapshot is saved.
    std::optional<WaitCursor> saving;
    // Declared last: the video's preview lives in pnVideoPicture, and the saver's message
    // reaches this window.
    std::unique_ptr<WebcamVideo> video;
    std::unique_ptr<TSaveSnapshotThread> saver;
};

TfrmWIA::TfrmWIA(QWidget* parent, TWIAWebcamList* webcams)
    : TfrmWizard(parent), d(std::make_unique<Private>())
{
    setObjectName(QStringLiteral("frmWIA"));
    d->webcams = webcams;

    d->tbSelectWIADevice = new QWidget;
    d->tbSelectWIADevice->setObjectName(QStringLiteral("tbSelectWIADevice"));
    QVBoxLayout* first = pageLayout(d->tbSelectWIADevice);
    d->lblSelectWIADevice = new QLabel(d->tbSelectWIADevice);
    d->lblSelectWIADevice->setObjectName(QStringLiteral("lblSelectWIADevice"));
    d->lblSelectWIADevice->setWordWrap(true);
    QFont bold = d->lblSelectWIADevice->font();
    bold.setBold(true);
    d->lblSelectWIADevice->setFont(bold);
    first->addWidget(d->lblSelectWIADevice);
    d->lbxWIADevices = new QListWidget(d->tbSelectWIADevice);
    d->lbxWIADevices->setObjectName(QStringLiteral("lbxWIADevices"));
    first->addWidget(d->lbxWIADevices, 1);
    d->btnNext = makeButton(d->tbSelectWIADevice, "btnNext", kButtonSize);
    d->btnNext->setDefault(true);
    auto* nextRow = new QHBoxLayout;
    nextRow->addStretch(1);
    nextRow->addWidget(d->btnNext);
    first->addLayout(nextRow);
    PageControl1->addWidget(d->tbSelectWIADevice);

    d->tbTakePicture = new QWidget;
    d->tbTakePicture->setObjectName(QStringLiteral("tbTakePicture"));
    QVBoxLayout* second = pageLayout(d->tbTakePicture);
    d->pnVideoBorder = new QFrame(d->tbTakePicture);
    d->pnVideoBorder->setObjectName(QStringLiteral("pnVideoBorder"));
    d->pnVideoBorder->setFrameShape(QFrame::Panel);
    d->pnVideoBorder->setFrameShadow(QFrame::Sunken);
    auto* border = new QVBoxLayout(d->pnVideoBorder);
    border->setContentsMargins(2, 2, 2, 2);
    d->pnVideoPicture = new QWidget(d->pnVideoBorder);
    d->pnVideoPicture->setObjectName(QStringLiteral("pnVideoPicture"));
    border->addWidget(d->pnVideoPicture);
    second->addWidget(d->pnVideoBorder, 1);
    d->btnTakePicture = makeButton(nullptr, "btnTakePicture", kButtonSize);
    d->pnTakePicture = buttonPanel(d->tbTakePicture, "pnTakePicture", {d->btnTakePicture});
    d->btnSave = makeButton(nullptr, "btnSave", kButtonSize);
    d->btnTakeOther = makeButton(nullptr, "btnTakeOther", kButtonSize);
    d->pnSave = buttonPanel(d->tbTakePicture, "pnSave", {d->btnSave, d->btnTakeOther});
    d->btnClose = makeButton(d->tbTakePicture, "btnClose", kButtonSize);
    auto* commands = new QHBoxLayout;
    commands->addWidget(d->pnTakePicture, 1);
    commands->addWidget(d->pnSave, 1);
    commands->addWidget(d->btnClose);
    second->addLayout(commands);
    PageControl1->addWidget(d->tbTakePicture);
    resize(kPageArea);

    connect(d->btnNext, &QPushButton::clicked, this, &TfrmWIA::btnNextClick);
    connect(d->lbxWIADevices, &QListWidget::itemDoubleClicked, this, &TfrmWIA::btnNextClick);
    connect(d->btnTakePicture, &QPushButton::clicked, this, &TfrmWIA::btnTakePictureClick);
    connect(d->btnTakeOther, &QPushButton::clicked, this, &TfrmWIA::btnTakeOtherClick);
    connect(d->btnSave, &QPushButton::clicked, this, &TfrmWIA::btnSaveClick);
    connect(d->btnClose, &QPushButton::clicked, this, &TfrmWIA::reject);
    d->firstFrameTimeout.setSingleShot(true);
    connect(&d->firstFrameTimeout, &QTimer::timeout, this, [this] { videoFailed(QString()); });
    if (d->webcams)
        connect(d->webcams, &TWIAWebcamList::changed, this, &TfrmWIA::fillCameraList);

    FormCreate();
}

TfrmWIA::~TfrmWIA()
{
    d->saver.reset();
    releaseVideo();
}

void TfrmWIA::FormCreate()
{
    releaseVideo();
    fillCameraList();
    QString title = GetText(TextTitle);
    title.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    SetWizardSteps(title, {GetText(TextStepSelectWebcam), GetText(TextStepMakeSnapshot)}, nullptr);
}

void TfrmWIA::ApplyTexts()
{
    d->lblSelectWIADevice->setText(GetText(TextSelectWebcam));
    d->btnNext->setText(nextButtonText());
    d->btnTakePicture->setText(GetText(TextTakePicture));
    d->btnTakeOther->setText(GetText(TextTakeAnother));
    d->btnSave->setText(GetText(TextAccept));
    d->btnClose->setText(GetText(TextClose));
}

// Keeps the chosen camera chosen when others come and go.
void TfrmWIA::fillCameraList()
{
    const QListWidgetItem* current = d->lbxWIADevices->currentItem();
    const QString chosen = current ? current->data(Qt::UserRole).toString() : QString();
    d->lbxWIADevices->clear();
    const int count = d->webcams ? d->webcams->count() : 0;
    for (int i = 0; i < count; ++i) {
        auto* item = new QListWidgetItem(d->webcams->at(i).name, d->lbxWIADevices);
        item->setData(Qt::UserRole, d->webcams->at(i).id);
        if (d->webcams->at(i).id == chosen)
            d->lbxWIADevices->setCurrentItem(item);
    }
    if (count > 0 && !d->lbxWIADevices->currentItem())
        d->lbxWIADevices->setCurrentRow(0);
    d->btnNext->setEnabled(count > 0 && !d->opening);
}

void TfrmWIA::setTargetFolder(const QString& folder)
{
    d->targetFolder = folder;
}

QString TfrmWIA::targetFolder() const
{
    return d->targetFolder;
}

WebcamVideo* TfrmWIA::video() const
{
    return d->video.get();
}

bool TfrmWIA::isSaving() const
{
    return d->saver != nullptr;
}

void TfrmWIA::showEvent(QShowEvent* event)
{
    showTakePicture(true);
    TfrmWizard::showEvent(event);
}

// The window goes to the live picture once the camera shows its first frame, instead of
// waiting a fixed time on the window's thread.
void TfrmWIA::btnNextClick()
{
    const QListWidgetItem* item = d->lbxWIADevices->currentItem();
    WebcamDevices* devices = d->webcams ? d->webcams->devices() : nullptr;
    if (!item || !devices || d->opening)
        return;
    releaseVideo();
    d->opening.emplace();
    d->btnNext->setEnabled(false);
    d->video = devices->CreateVideo(item->data(Qt::UserRole).toString(), d->pnVideoPicture);
    if (!d->video) {
        videoFailed(QString());
        return;
    }
    if (d->video->hasFailed()) {
        videoFailed(d->video->failureReason());
        return;
    }
    connect(d->video.get(), &WebcamVideo::firstFrameShown, this, &TfrmWIA::videoStarted);
    // Queued: the camera is released here, and must not be while it is still reporting.
    connect(
        d->video.get(), &WebcamVideo::failed, this,
        [this, video = QPointer<WebcamVideo>(d->video.get())](const QString& reason) {
            if (video && video == d->video.get())
                videoFailed(reason);
        },
        Qt::QueuedConnection);
    d->firstFrameTimeout.start(kFirstFrameTimeoutMs);
}

void TfrmWIA::videoStarted()
{
    d->firstFrameTimeout.stop();
    d->opening.reset();
    d->btnNext->setEnabled(d->lbxWIADevices->count() > 0);
    showTakePicture(true);
    setActivePageIndex(1);
}

// A camera that cannot start, or one unplugged while it plays, brings the user back to the
// choice of camera; a silent stay on the first page would leave Next looking broken.
void TfrmWIA::videoFailed(const QString& reason)
{
    releaseVideo();
    setActivePageIndex(0);
    if (!isVisible())
        return;
    QString text = GetText(TextNotStarted);
    if (!reason.isEmpty())
        text += QStringLiteral("\n\n") + reason;
    showWarning(this, text, "WebcamNotStarted");
}

void TfrmWIA::btnTakePictureClick()
{
    if (!d->video)
        return;
    d->video->Pause();
    showTakePicture(false);
}

void TfrmWIA::btnTakeOtherClick()
{
    if (!d->video || d->saver)
        return;
    d->video->Play();
    showTakePicture(true);
}

// Stores the frame the user froze and accepted, not a new capture.
void TfrmWIA::btnSaveClick()
{
    if (!d->video || d->saver || !d->video->isPaused())
        return;
    const QImage frame = d->video->shownFrame();
    if (frame.isNull())
        return;
    d->saving.emplace();
    d->btnSave->setEnabled(false);
    d->btnTakeOther->setEnabled(false);
    d->btnClose->setEnabled(false);
    d->saver = std::make_unique<TSaveSnapshotThread>(
        [this](const WindowMessage& message) -> qintptr {
            if (message.id == TSaveSnapshotThread::WM_SNAPSHOT_SAVED)
                QMetaObject::invokeMethod(this, &TfrmWIA::saveFinished, Qt::QueuedConnection);
            return 0;
        },
        d->targetFolder, frame);
    if (!d->saver->start())
        saveFinished();
}

void TfrmWIA::saveFinished()
{
    if (!d->saver)
        return;
    d->saver->stop();
    const std::unique_ptr<TSaveSnapshotThread> saver = std::move(d->saver);
    d->saving.reset();
    d->btnSave->setEnabled(true);
    d->btnTakeOther->setEnabled(true);
    d->btnClose->setEnabled(true);
    if (saver->encoded() && !saver->result().path.isEmpty()) {
        accept();
        return;
    }
    // The frame stays frozen, so the user can try again or close the window.
    QString text = GetText(TextNotSaved) + QStringLiteral("\n\n") + d->targetFolder;
    if (saver->result().error != 0)
        text += QStringLiteral("\n") + QString::fromLocal8Bit(std::strerror(saver->result().error));
    showWarning(this, text, "SnapshotNotSaved");
}

void TfrmWIA::done(int result)
{
    // A save in progress ends by itself in a moment; its result closes the window.
    if (d->saver)
        return;
    releaseVideo();
    TfrmWizard::done(result);
}

void TfrmWIA::releaseVideo()
{
    d->firstFrameTimeout.stop();
    d->opening.reset();
    if (d->video) {
        WaitCursor wait;
        d->video.reset();
    }
    d->btnNext->setEnabled(d->lbxWIADevices->count() > 0);
}

void TfrmWIA::showTakePicture(bool take)
{
    d->pnTakePicture->setVisible(take);
    d->pnSave->setVisible(!take);
}

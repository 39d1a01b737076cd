#include "TfrmEditPicture.h"

#include "Bitmap.h"
#include "ImageFile.h"
#include "ImagingResult.h"
#include "SelectionScaling.h"
#include "TAltLeadImage.h"
#include "TEditImage.h"
#include "TfrmAutoColor.h"
#include "TfrmEditColor.h"
#include "TfrmResize.h"
#include "TfrmRotate.h"
#include "WaitCursor.h"
#include "WidgetColors.h"
#include "uLanguage.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>
#include <climits>
#include <vector>

static void initEditResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(edit);
        return true;
    }();
    Q_UNUSED(done);
}

namespace {

enum : unsigned
{
    TextClose = 4,
    TextYes = 5,
    TextNo = 6,
    TextOk = 7,
    TextResize = 601,
    TextRotate = 611,
    TextFlip = 641,
    TextRotateRight = 642,
    TextRotateLeft = 643,
    TextCustomRotate = 644,
    TextFlipHorizontal = 645,
    TextFlipVertical = 646,
    TextAutoColor = 647,
    TextChangeColors = 649,
    TextCustomColors = 650,
    TextRedEye = 651,
    TextCrop = 652,
    TextSave = 653,
    TextUndo = 654,
    TextRedo = 655,
    TextSaveChanges = 656,
    TextSelectCrop = 657,
    TextSelectRedEye = 658,
    TextBlackWhite = 660,
};

constexpr int kBevel = 9;          // left, top and right bevels and the bottom panel
constexpr int kButtonsWidth = 166; // pnButtons
constexpr int kBottomButtonsHeight = 104;
constexpr int kToolSize = 35;
constexpr int kToolIconSize = 28;
constexpr int kToolLeft = 8;
constexpr int kToolStep = 39; // from one tool button to the next in a row
constexpr int kCaptionHeight = 18;
constexpr int kGroupGap = 10;
constexpr int kRowGap = 6;
constexpr int kBottomButtonWidth = 122;
constexpr int kBottomButtonHeight = 25;
constexpr int kBottomButtonStep = 33;
const QColor kImageAreaColor(232, 232, 232);

const QString kJpegFilter = QStringLiteral("JPEG (*.jpg *.jpeg)");
const QString kBitmapFilter = QStringLiteral("Bitmap (*.bmp)");

QString lowerSuffix(const QString& fileName)
{
    return QFileInfo(fileName).suffix().toLower();
}

QFrame* makeFrameLine(QWidget* parent, const char* name)
{
    auto* line = new QFrame(parent);
    line->setObjectName(QLatin1String(name));
    line->setFrameShape(QFrame::NoFrame);
    setBackground(line, Qt::black);
    line->hide();
    return line;
}

QString defaultChooser(QFileDialog& dialog)
{
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

} // namespace

struct TfrmEditPicture::Private
{
    QWidget* pnImage = nullptr;
    TAltLeadImage* AltLeadImage1 = nullptr;
    QFrame* shTop = nullptr;
    QFrame* shLeft = nullptr;
    QFrame* shBottom = nullptr;
    QFrame* shRight = nullptr;
    QWidget* pnButtons = nullptr;
    QWidget* pnBottomButtons = nullptr;

    QLabel* cptRotate = nullptr;
    QToolButton* btnRotate90 = nullptr;
    QToolButton* btnRotate270 = nullptr;
    QToolButton* btnFineRotate = nullptr;
    QLabel* cptFlipH = nullptr;
    QToolButton* btnFlipH = nullptr;
    QToolButton* btnFlipV = nullptr;
    QLabel* cptColor = nullptr;
    QToolButton* btnAutoColor = nullptr;
    QToolButton* btnGrayScale = nullptr;
    QToolButton* btnColor = nullptr;
    QLabel* cptRedEye = nullptr;
    QToolButton* btnRedEye = nullptr;
    QLabel* cptCrop = nullptr;
    QToolButton* btnCrop = nullptr;
    QLabel* cptResize = nullptr;
    QToolButton* btnResize = nullptr;
    std::vector<QToolButton*> tools;

    QPushButton* btnUndo = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnClose = nullptr;

    imaging::Bitmap bitmap;
    std::unique_ptr<TEditImage> engine;
    QString fileName;
    bool modified = false;
    SaveNameChooser chooseSaveName = defaultChooser;
};

TfrmEditPicture::TfrmEditPicture(QWidget* parent) : QWidget(parent), d(std::make_unique<Private>())
{
    initEditResources();
    buildLayout();
    applyTexts();
    hide();
}

TfrmEditPicture::~TfrmEditPicture()
{
    // The engine's worker may still call back into the frame until it is stopped.
    d->engine.reset();
    d->pnButtons->removeEventFilter(this);
}

void TfrmEditPicture::buildLayout()
{
    setAutoFillBackground(true);
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(kBevel, kBevel, kBevel, kBevel);
    columns->setSpacing(0);

    d->pnImage = new QWidget(this);
    d->pnImage->setObjectName(QStringLiteral("pnImage"));
    setBackground(d->pnImage, kImageAreaColor);
    d->AltLeadImage1 = new TAltLeadImage(d->pnImage);
    d->AltLeadImage1->setObjectName(QStringLiteral("AltLeadImage1"));
    d->shTop = makeFrameLine(d->pnImage, "shTop");
    d->shLeft = makeFrameLine(d->pnImage, "shLeft");
    d->shBottom = makeFrameLine(d->pnImage, "shBottom");
    d->shRight = makeFrameLine(d->pnImage, "shRight");
    columns->addWidget(d->pnImage, 1);

    d->pnButtons = new QWidget(this);
    d->pnButtons->setObjectName(QStringLiteral("pnButtons"));
    d->pnButtons->setFixedWidth(kButtonsWidth);
    columns->addWidget(d->pnButtons);

    auto caption = [this](const char* name) {
        auto* label = new QLabel(d->pnButtons);
        label->setObjectName(QLatin1String(name));
        label->setWordWrap(true);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        return label;
    };
    auto tool = [this](const char* name, const char* artwork) {
        auto* button = new QToolButton(d->pnButtons);
        button->setObjectName(QLatin1String(name));
        button->setAutoRaise(true);
        button->setFixedSize(kToolSize, kToolSize);
        button->setIconSize(QSize(kToolIconSize, kToolIconSize));
        button->setIcon(QIcon(QStringLiteral(":/edit/artwork/%1.svg").arg(QLatin1String(artwork))));
        d->tools.push_back(button);
        return button;
    };

    // Three groups with their caption above a row of buttons, then three single tools with
    // their caption beside them.
    const int captionWidth = kButtonsWidth - kToolLeft;
    int top = 0;
    auto group = [&](QLabel* label, std::initializer_list<QToolButton*> buttons) {
        label->setGeometry(kToolLeft, top, captionWidth, kCaptionHeight);
        top += kCaptionHeight;
        int left = kToolLeft;
        for (QToolButton* button : buttons) {
            button->move(left, top);
            left += kToolStep;
        }
        top += kToolSize + kGroupGap;
    };
    d->cptRotate = caption("cptRotate");
    d->btnRotate90 = tool("btnRotate90", "rotate-right");
    d->btnRotate270 = tool("btnRotate270", "rotate-left");
    d->btnFineRotate = tool("btnFineRotate", "rotate-custom");
    group(d->cptRotate, {d->btnRotate90, d->btnRotate270, d->btnFineRotate});
    d->cptFlipH = caption("cptFlipH");
    d->btnFlipH = tool("btnFlipH", "flip-horizontal");
    d->btnFlipV = tool("btnFlipV", "flip-vertical");
    group(d->cptFlipH, {d->btnFlipH, d->btnFlipV});
    d->cptColor = caption("cptColor");
    d->btnAutoColor = tool("btnAutoColor", "color-auto");
    d->btnGrayScale = tool("btnGrayScale", "black-white");
    d->btnColor = tool("btnColor", "color-custom");
    group(d->cptColor, {d->btnAutoColor, d->btnGrayScale, d->btnColor});

    auto single = [&](QLabel* label, QToolButton* button) {
        button->move(kToolLeft, top);
        const int left = kToolLeft + kToolSize + 6;
        label->setGeometry(left, top, kButtonsWidth - left, kToolSize);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        top += kToolSize + kRowGap;
    };
    d->cptRedEye = caption("cptRedEye");
    d->btnRedEye = tool("btnRedEye", "red-eye");
    single(d->cptRedEye, d->btnRedEye);
    d->cptCrop = caption("cptCrop");
    d->btnCrop = tool("btnCrop", "crop");
    single(d->cptCrop, d->btnCrop);
    d->cptResize = caption("cptResize");
    d->btnResize = tool("btnResize", "resize");
    single(d->cptResize, d->btnResize);

    d->pnBottomButtons = new QWidget(d->pnButtons);
    d->pnBottomButtons->setObjectName(QStringLiteral("pnBottomButtons"));
    d->pnBottomButtons->setFixedHeight(kBottomButtonsHeight);
    auto bottomButton = [this](const char* name, int index) {
        auto* button = new QPushButton(d->pnBottomButtons);
        button->setObjectName(QLatin1String(name));
        button->setGeometry((kButtonsWidth - kBottomButtonWidth) / 2, 6 + index * kBottomButtonStep,
                            kBottomButtonWidth, kBottomButtonHeight);
        return button;
    };
    d->btnUndo = bottomButton("btnUndo", 0);
    d->btnSave = bottomButton("btnSave", 1);
    d->btnClose = bottomButton("btnClose", 2);

    // Kept at the bottom by eventFilter, above the tools when the window is low, so that
    // Close stays within reach.
    d->pnBottomButtons->raise();
    d->pnButtons->installEventFilter(this);

    connect(d->btnRotate90, &QToolButton::clicked, this, [this] { d->engine->Rotate(false, 90); });
    connect(d->btnRotate270, &QToolButton::clicked, this,
            [this] { d->engine->Rotate(false, 270); });
    connect(d->btnFlipH, &QToolButton::clicked, this, [this] { d->engine->Mirror(true, false); });
    connect(d->btnFlipV, &QToolButton::clicked, this, [this] { d->engine->Mirror(false, false); });
    connect(d->btnGrayScale, &QToolButton::clicked, this, [this] { d->engine->GreyScale(); });
    connect(d->btnFineRotate, &QToolButton::clicked, this, &TfrmEditPicture::btnFineRotateClick);
    connect(d->btnAutoColor, &QToolButton::clicked, this, &TfrmEditPicture::btnAutoColorClick);
    connect(d->btnColor, &QToolButton::clicked, this, &TfrmEditPicture::btnColorClick);
    connect(d->btnRedEye, &QToolButton::clicked, this, &TfrmEditPicture::btnRedEyeClick);
    connect(d->btnCrop, &QToolButton::clicked, this, &TfrmEditPicture::btnCropClick);
    connect(d->btnResize, &QToolButton::clicked, this, &TfrmEditPicture::btnResizeClick);
    connect(d->btnUndo, &QPushButton::clicked, this, &TfrmEditPicture::btnUndoClick);
    connect(d->btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(d->btnClose, &QPushButton::clicked, this, [this] { requestClose(); });
}

void TfrmEditPicture::applyTexts()
{
    auto hint = [](QToolButton* button, unsigned id) {
        button->setToolTip(GetText(id));
        button->setAccessibleName(GetText(id));
    };
    d->cptRotate->setText(GetText(TextRotate));
    hint(d->btnRotate90, TextRotateRight);
    hint(d->btnRotate270, TextRotateLeft);
    hint(d->btnFineRotate, TextCustomRotate);
    d->cptFlipH->setText(GetText(TextFlip));
    hint(d->btnFlipH, TextFlipHorizontal);
    hint(d->btnFlipV, TextFlipVertical);
    d->cptColor->setText(GetText(TextChangeColors));
    hint(d->btnAutoColor, TextAutoColor);
    hint(d->btnGrayScale, TextBlackWhite);
    hint(d->btnColor, TextCustomColors);
    d->cptRedEye->setText(GetText(TextRedEye));
    hint(d->btnRedEye, TextRedEye);
    d->cptCrop->setText(GetText(TextCrop));
    hint(d->btnCrop, TextCrop);
    d->cptResize->setText(GetText(TextResize));
    hint(d->btnResize, TextResize);
    d->btnSave->setText(GetText(TextSave));
    d->btnClose->setText(GetText(TextClose));
}

bool TfrmEditPicture::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == d->pnButtons && event->type() == QEvent::Resize)
        d->pnBottomButtons->setGeometry(0,
                                        std::max(0, d->pnButtons->height() - kBottomButtonsHeight),
                                        kButtonsWidth, kBottomButtonsHeight);
    return QWidget::eventFilter(watched, event);
}

bool TfrmEditPicture::Open(const QString& fileName)
{
    WaitCursor wait;
    d->engine.reset();
    imaging::Bitmap bitmap;
    if (imaging::loadBitmap(fileName, bitmap) != imaging::Success)
        return false;
    d->bitmap = std::move(bitmap);

    // The picture and its frame lines fit inside pnImage.
    const int boxWidth = width() - 2 * kBevel - kButtonsWidth - 2;
    const int boxHeight = height() - 2 * kBevel - 2;
    d->engine = std::make_unique<TEditImage>(
        boxWidth, boxHeight, EditMode::Apply, d->AltLeadImage1, [this] { ActionStart(); },
        [this] { ActionEnd(); });
    if (!d->engine->Open(&d->bitmap, fileName)) {
        d->engine.reset();
        d->bitmap.reset();
        d->AltLeadImage1->Clear();
        return false;
    }

    d->fileName = fileName;
    d->AltLeadImage1->setAllowRgn(true);
    d->btnUndo->setEnabled(false);
    d->btnUndo->setText(GetText(TextUndo));
    applyTexts();
    ActionEnd();
    d->modified = false;
    show();
    raise();
    return true;
}

bool TfrmEditPicture::isEditing() const
{
    return d->engine != nullptr && isVisible();
}

bool TfrmEditPicture::canClose() const
{
    return d->btnClose->isEnabled();
}

QString TfrmEditPicture::fileName() const
{
    return d->fileName;
}

bool TfrmEditPicture::isModified() const
{
    return d->modified;
}

void TfrmEditPicture::setSaveNameChooser(SaveNameChooser chooser)
{
    d->chooseSaveName = chooser ? std::move(chooser) : SaveNameChooser(defaultChooser);
}

void TfrmEditPicture::setToolsEnabled(bool enabled)
{
    for (QToolButton* button : d->tools)
        button->setEnabled(enabled);
    d->btnSave->setEnabled(enabled);
    d->btnClose->setEnabled(enabled);
}

void TfrmEditPicture::ActionStart()
{
    setToolsEnabled(false);
    d->btnUndo->setEnabled(false);
}

void TfrmEditPicture::ActionEnd()
{
    setToolsEnabled(true);
    const bool redo = d->engine && d->engine->RedoAvailable();
    const bool undo = d->engine && d->engine->UndoAvailable();
    d->btnUndo->setEnabled(undo || redo);
    d->btnUndo->setText(GetText(redo ? TextRedo : TextUndo));
    d->modified = true;

    const int fullWidth = d->engine ? d->engine->FullWidth() : 0;
    const int fullHeight = d->engine ? d->engine->FullHeight() : 0;
    emit statusText(1, fullWidth > 0 && fullHeight > 0
                           ? QStringLiteral("%1x%2").arg(fullWidth).arg(fullHeight)
                           : QString());
    placeFrameLines();
    emit actionEnded();
}

void TfrmEditPicture::placeFrameLines()
{
    const QRect picture = d->AltLeadImage1->geometry();
    const bool shown = d->AltLeadImage1->shownWidth() > 0 && d->AltLeadImage1->shownHeight() > 0;
    const int left = picture.x();
    const int top = picture.y();
    const int width = picture.width();
    const int height = picture.height();
    d->shLeft->setGeometry(left - 1, top - 1, 1, height + 2);
    d->shTop->setGeometry(left, top - 1, width, 1);
    d->shRight->setGeometry(left + width, top - 1, 1, height + 2);
    d->shBottom->setGeometry(left, top + height, width, 1);
    for (QFrame* line : {d->shLeft, d->shTop, d->shRight, d->shBottom})
        line->setVisible(shown);
}

void TfrmEditPicture::showInformation(unsigned textId)
{
    QMessageBox box(QMessageBox::Information, window()->windowTitle(), GetText(textId),
                    QMessageBox::NoButton, this);
    box.addButton(GetText(TextOk), QMessageBox::AcceptRole);
    box.exec();
}

namespace {

// The drawn selection frame in full-size pixels; none without a frame.
std::optional<edit::FrameRect> selectedFullSize(const TAltLeadImage& image,
                                                const TEditImage& engine)
{
    if (!image.HasFrame() || image.FrameWidth() == 0 || image.FrameHeight() == 0)
        return std::nullopt;
    return edit::frameToFullSize(
        {image.FrameLeft(), image.FrameTop(), image.FrameWidth(), image.FrameHeight()},
        engine.FullWidth(), engine.FullHeight(), image.shownWidth(), image.shownHeight());
}

} // namespace

void TfrmEditPicture::btnCropClick()
{
    const auto frame = selectedFullSize(*d->AltLeadImage1, *d->engine);
    if (!frame) {
        showInformation(TextSelectCrop);
        return;
    }
    d->engine->Crop(frame->left, frame->top, frame->width, frame->height);
}

void TfrmEditPicture::btnRedEyeClick()
{
    const auto frame = selectedFullSize(*d->AltLeadImage1, *d->engine);
    if (!frame) {
        showInformation(TextSelectRedEye);
        return;
    }
    d->engine->RedEye(imaging::makeColorRef(0, 0, 0), frame->left, frame->top, frame->width,
                      frame->height);
}

void TfrmEditPicture::btnFineRotateClick()
{
    TfrmRotate dialog(this);
    {
        imaging::Bitmap copy;
        {
            WaitCursor wait;
            const QSize box = dialog.pictureBox();
            if (!d->engine->PreviewCopy(true, box.width(), box.height(), copy))
                return;
        }
        if (!dialog.setPicture(copy))
            return;
    }
    if (dialog.exec() != QDialog::Accepted)
        return;
    d->engine->Rotate(dialog.autoCrop(), dialog.angle());
}

void TfrmEditPicture::btnColorClick()
{
    TfrmEditColor dialog(this);
    {
        imaging::Bitmap copy;
        {
            WaitCursor wait;
            const QSize box = dialog.pictureBox();
            if (!d->engine->PreviewCopy(false, box.width(), box.height(), copy))
                return;
        }
        if (!dialog.setPicture(copy))
            return;
    }
    if (dialog.exec() != QDialog::Accepted)
        return;
    const auto v = dialog.values();
    d->engine->SetColours(v[TfrmEditColor::Contrast], v[TfrmEditColor::Brightness],
                          v[TfrmEditColor::Saturation], v[TfrmEditColor::Hue],
                          v[TfrmEditColor::Red], v[TfrmEditColor::Green], v[TfrmEditColor::Blue]);
}

void TfrmEditPicture::btnResizeClick()
{
    TfrmResize dialog(this);
    {
        // Only the size and resolution are wanted; the copy goes right away.
        imaging::Bitmap copy;
        WaitCursor wait;
        if (!d->engine->PreviewCopy(false, INT_MAX, INT_MAX, copy))
            return;
        dialog.start(copy.width(), copy.height(), copy.xResolution(), copy.yResolution());
    }
    if (dialog.exec() != QDialog::Accepted)
        return;
    d->engine->Resize(dialog.newWidth(), dialog.newHeight());
}

void TfrmEditPicture::btnAutoColorClick()
{
    TfrmAutoColor dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    d->engine->AutoColour(dialog.colour(), dialog.contrast(), dialog.brightness());
}

void TfrmEditPicture::btnUndoClick()
{
    if (d->engine->UndoAvailable())
        d->engine->Undo();
    else if (d->engine->RedoAvailable())
        d->engine->Redo();
}

bool TfrmEditPicture::btnSaveClick()
{
    const QString suffix = lowerSuffix(d->fileName);
    const bool bitmap = suffix == QLatin1String("bmp");
    QString suggested = d->fileName;
    if (bitmap || suffix == QLatin1String("jpg")) {
        const QFileInfo info(d->fileName);
        suggested = info.dir().filePath(info.completeBaseName());
    }

    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({kJpegFilter, kBitmapFilter});
    dialog.selectNameFilter(bitmap ? kBitmapFilter : kJpegFilter);
    dialog.setDefaultSuffix(bitmap ? QStringLiteral("bmp") : QStringLiteral("jpg"));
    dialog.setDirectory(QFileInfo(d->fileName).absolutePath());
    dialog.selectFile(suggested);
    const QString chosen = d->chooseSaveName(dialog);
    if (chosen.isEmpty())
        return false;

    QString error;
    if (!d->engine->Save(chosen, &error)) {
        QMessageBox box(QMessageBox::Critical, window()->windowTitle(), error,
                        QMessageBox::NoButton, this);
        box.addButton(GetText(TextOk), QMessageBox::AcceptRole);
        box.exec();
        return false;
    }
    d->fileName = chosen;
    emit statusText(0, chosen);
    d->modified = false;
    return true;
}

bool TfrmEditPicture::requestClose()
{
    if (!isEditing() || !canClose())
        return false;
    if (d->modified) {
        QMessageBox box(QMessageBox::Question, window()->windowTitle(), GetText(TextSaveChanges),
                        QMessageBox::NoButton, this);
        box.setObjectName(QStringLiteral("SaveChanges"));
        QPushButton* yes = box.addButton(GetText(TextYes), QMessageBox::YesRole);
        // Not the no-role: that would make Escape and the window's close box answer No and
        // drop the changes; as with a Yes/No box, they do nothing here.
        QPushButton* no = box.addButton(GetText(TextNo), QMessageBox::ActionRole);
        box.setDefaultButton(yes);
        box.exec();
        if (box.clickedButton() == yes) {
            btnSaveClick();
            if (d->modified)
                return false;
        } else if (box.clickedButton() != no) {
            return false;
        }
    }

    {
        WaitCursor wait;
        d->engine.reset();
        d->bitmap.reset();
        d->AltLeadImage1->Clear();
        for (QFrame* line : {d->shLeft, d->shTop, d->shRight, d->shBottom})
            line->hide();
        hide();
    }
    emit closed();
    return true;
}

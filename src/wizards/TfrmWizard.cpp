#include "TfrmWizard.h"

#include "ProgramVersion.h"
#include "WidgetColors.h"
#include "WizardArtwork.h"
#include "WizardLayout.h"
#include "uLanguage.h"

#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStackedWidget>

#include <vector>

namespace {

const QColor kHeaderColour(237, 28, 36);
const QColor kStripColour(102, 102, 102);
const QColor kStepColour(192, 192, 192);
const QColor kHighlightColour(255, 0, 0);

constexpr int kFontPixels = 11;
constexpr int kTitlePixels = 21;

// Draws its picture as vectors in every paint, so it is sharp at the screen's pixel ratio.
class PictureView : public QWidget
{
public:
    using QWidget::QWidget;

    void setPicture(const WizardPicture* picture)
    {
        mPicture = picture;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (mPicture == nullptr)
            return;
        QPainter painter(this);
        mPicture->paint(painter);
    }

private:
    const WizardPicture* mPicture = nullptr;
};

QWidget* filledPanel(QWidget* parent, const QColor& colour, const QString& name)
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    setBackground(panel, colour);
    return panel;
}

QFont pixelFont(const QFont& base, int pixels, bool bold)
{
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace

struct TfrmWizard::Private
{
    QWidget* header = nullptr;
    QWidget* headerStrip = nullptr;
    QWidget* logoPanel = nullptr;
    PictureView* imVelkoLogo = nullptr;
    QLabel* lblTitle = nullptr;
    QWidget* sideBar = nullptr;
    QWidget* stepsPanel = nullptr;
    PictureView* sidePicture = nullptr;

    QString title;
    QStringList steps;
    const WizardPicture* picture = nullptr;
    bool built = false;
    int pendingPage = -1;

    // Number and text label of each listed step.
    std::vector<std::pair<QLabel*, QLabel*>> stepLabels;
};

TfrmWizard::TfrmWizard(QWidget* parent)
    : QDialog(parent), PageControl1(new QStackedWidget(this)), d(std::make_unique<Private>())
{
    // Single border with only the system menu; set before the derived window adds its pages
    // so that they take the frame's font.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(pixelFont(font(), kFontPixels, false));
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setFocusPolicy(Qt::NoFocus);
    connect(PageControl1, &QStackedWidget::currentChanged, this, [this] {
        if (d->built)
            PageControl1Change();
    });
}

TfrmWizard::~TfrmWizard() = default;

void TfrmWizard::SetWizardSteps(const QString& title, const QStringList& steps,
                                const WizardPicture* picture)
{
    d->title = title;
    d->steps = steps;
    d->picture = picture;
    if (!d->built)
        return;

    d->lblTitle->setText(title);
    d->lblTitle->adjustSize();
    d->lblTitle->move(wizard::kTitleLeft, wizard::titleTop(d->lblTitle->height()));
    setWindowTitle(title + QStringLiteral(" - ") + QLatin1String(kApplicationTitle));
    buildStepLabels();
    PageControl1Change();
}

void TfrmWizard::buildStepLabels()
{
    // Deleted at once, not later: nothing of an earlier list may remain.
    qDeleteAll(d->stepsPanel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    d->stepLabels.clear();

    const QFont bold = pixelFont(d->stepsPanel->font(), kFontPixels, true);
    const int shown = wizard::shownStepCount(int(d->steps.size()), PageControl1->count());
    int y = 0;
    for (int i = 0; i < shown; ++i) {
        auto* number = new QLabel(QString::number(i + 1) + QStringLiteral(". "), d->stepsPanel);
        number->setObjectName(QStringLiteral("stepNumber%1").arg(i));
        number->setFont(bold);
        number->adjustSize();
        number->move(wizard::kStepNumberLeft, y);

        auto* text = new QLabel(d->steps.at(i), d->stepsPanel);
        text->setObjectName(QStringLiteral("stepText%1").arg(i));
        text->setTextFormat(Qt::PlainText);
        text->setWordWrap(true);
        text->setFont(bold);
        const int left = number->x() + number->width();
        const int width = wizard::kStepsWidth - left;
        text->setGeometry(left, y, width, text->heightForWidth(width));

        number->show();
        text->show();
        d->stepLabels.emplace_back(number, text);
        y += kFontPixels + text->height();
    }
    d->stepsPanel->resize(wizard::kStepsWidth, y);

    if (d->picture != nullptr) {
        d->sidePicture->setPicture(d->picture);
        d->sidePicture->resize(d->picture->size());
        d->sidePicture->move(wizard::sidePictureTopLeft(y, d->picture->size()));
        d->sidePicture->show();
    } else {
        d->sidePicture->setPicture(nullptr);
        d->sidePicture->hide();
    }
}

int TfrmWizard::ActivePageIndex() const
{
    if (!d->built && d->pendingPage != -1)
        return d->pendingPage;
    return PageControl1->currentIndex();
}

void TfrmWizard::setActivePageIndex(int index)
{
    if (!d->built) {
        d->pendingPage = index;
        return;
    }
    if (index < 0 || index >= PageControl1->count())
        return;
    if (index == PageControl1->currentIndex())
        PageControl1Change();
    else
        PageControl1->setCurrentIndex(index); // currentChanged runs PageControl1Change
}

void TfrmWizard::PageControl1Change()
{
    const int red =
        wizard::highlightedStep(PageControl1->currentIndex(), int(d->stepLabels.size()));
    for (int i = 0; i < int(d->stepLabels.size()); ++i) {
        const QColor& colour = i == red ? kHighlightColour : kStepColour;
        setTextColor(d->stepLabels[std::size_t(i)].first, colour);
        setTextColor(d->stepLabels[std::size_t(i)].second, colour);
    }
}

bool TfrmWizard::isFrameBuilt() const
{
    return d->built;
}

void TfrmWizard::ensureFrameBuilt()
{
    if (!d->built)
        buildFrame();
}

void TfrmWizard::setVisible(bool visible)
{
    if (visible)
        ensureFrameBuilt();
    QDialog::setVisible(visible);
}

QString TfrmWizard::nextButtonText()
{
    return GetText(1) + QStringLiteral(" >");
}

QString TfrmWizard::previousButtonText()
{
    return QStringLiteral("< ") + GetText(2);
}

void TfrmWizard::buildFrame()
{
    // A size the derived window gave is its page area; otherwise the pages ask for theirs.
    const QSize pageArea = testAttribute(Qt::WA_Resized) ? size() : PageControl1->sizeHint();
    const QSize frame = wizard::frameSize(pageArea);
    setFixedSize(frame);

    d->header = filledPanel(this, kHeaderColour, QStringLiteral("pnHeader"));
    d->header->setGeometry(0, 0, frame.width(), wizard::kHeaderHeight);
    d->headerStrip = filledPanel(d->header, kStripColour, QStringLiteral("pnHeaderBottom"));
    d->headerStrip->setGeometry(0, wizard::kHeaderHeight - wizard::kHeaderStripHeight,
                                frame.width(), wizard::kHeaderStripHeight);
    d->logoPanel = filledPanel(d->header, Qt::black, QStringLiteral("pnLogo"));
    d->logoPanel->setGeometry(0, 0, wizard::kSideBarWidth,
                              wizard::kHeaderHeight - wizard::kHeaderStripHeight);
    d->imVelkoLogo = new PictureView(d->logoPanel);
    d->imVelkoLogo->setObjectName(QStringLiteral("imVelkoLogo"));
    d->imVelkoLogo->setPicture(&wizard::artwork::logo());
    d->imVelkoLogo->setGeometry(QRect(wizard::logoTopLeft(), wizard::kLogoSize));

    d->lblTitle = new QLabel(d->header);
    d->lblTitle->setObjectName(QStringLiteral("lblTitle"));
    d->lblTitle->setTextFormat(Qt::PlainText);
    d->lblTitle->setFont(pixelFont(font(), kTitlePixels, true));
    setTextColor(d->lblTitle, Qt::white);

    d->sideBar = filledPanel(this, Qt::black, QStringLiteral("pnSideBar"));
    d->sideBar->setGeometry(0, wizard::kHeaderHeight, wizard::kSideBarWidth, pageArea.height());
    d->stepsPanel = new QWidget(d->sideBar);
    d->stepsPanel->setObjectName(QStringLiteral("pnSteps"));
    d->stepsPanel->setFont(pixelFont(font(), kFontPixels, false));
    setTextColor(d->stepsPanel, kStepColour);
    d->stepsPanel->move(wizard::kStepsLeft, wizard::kStepsTop);
    d->sidePicture = new PictureView(d->sideBar);
    d->sidePicture->setObjectName(QStringLiteral("imSidePicture"));
    d->sidePicture->hide();

    PageControl1->setGeometry(wizard::kSideBarWidth, wizard::kHeaderHeight, pageArea.width(),
                              pageArea.height());

    const QWidget* anchor = parentWidget() != nullptr ? parentWidget() : this;
    if (const QScreen* screen = anchor->screen())
        move(wizard::centredTopLeft(screen->availableGeometry(), frame));

    d->built = true;
    SetWizardSteps(d->title, d->steps, d->picture);
    const int pending = d->pendingPage;
    d->pendingPage = -1;
    setActivePageIndex(pending >= 0 && pending < PageControl1->count() ? pending : 0);
    ApplyTexts();
}

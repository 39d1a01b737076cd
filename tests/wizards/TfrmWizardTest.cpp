#include "TfrmWizard.h"

#include "TfrmPics.h"
#include "uLanguage.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A wizard as the later ones are written: pages and steps set in its constructor.
class SampleWizard : public TfrmWizard
{
public:
    explicit SampleWizard(int pages, const QStringList& steps = {}, int startPage = -1)
    {
        for (int i = 0; i < pages; ++i)
            PageControl1->addWidget(new QLabel(QStringLiteral("page %1").arg(i)));
        SetWizardSteps(QStringLiteral("Sample"), steps, &mPics.imGetPhotos);
        if (startPage >= 0)
            setActivePageIndex(startPage);
    }

    QStackedWidget* pages() const { return PageControl1; }
    int applyTextsCalls = 0;
    QString nextCaption;

protected:
    void ApplyTexts() override
    {
        ++applyTextsCalls;
        nextCaption = nextButtonText();
    }

private:
    TfrmPics mPics;
};

QStringList stepTexts(const TfrmWizard& wizard)
{
    QStringList texts;
    for (int i = 0;; ++i) {
        const auto* label = wizard.findChild<QLabel*>(QStringLiteral("stepText%1").arg(i));
        if (label == nullptr)
            return texts;
        texts << label->text();
    }
}

// The steps drawn in red; every other listed step must be silver.
QList<int> redSteps(const TfrmWizard& wizard)
{
    QList<int> red;
    for (int i = 0; i < stepTexts(wizard).size(); ++i) {
        for (const char* kind : {"stepNumber%1", "stepText%1"}) {
            const auto* label = wizard.findChild<QLabel*>(QString::fromLatin1(kind).arg(i));
            const QColor colour = label->palette().color(QPalette::WindowText);
            if (colour == QColor(255, 0, 0)) {
                if (!red.contains(i))
                    red << i;
            } else if (colour != QColor(192, 192, 192)) {
                qWarning("step %d has colour %s", i, qPrintable(colour.name()));
                red << -100;
            }
        }
    }
    return red;
}

const QStringList kFiveSteps{QStringLiteral("Choose"), QStringLiteral("Check"),
                             QStringLiteral("A step whose name is long enough to wrap"),
                             QStringLiteral("Copy"), QStringLiteral("Done")};

} // namespace

class TfrmWizardTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { setLanguage(QByteArray()); }
    void cleanupTestCase() { setLanguage(QByteArray()); }

    void moreStepsThanPagesListsOnlyThoseWithAPage();
    void aPageWithoutAStepShowsNoRedStep();
    void settingStepsTwiceReplacesTheList();
    void pendingPageOpensTheWizardThere();
    void highlightFollowsTheActivePage();
    void applyTextsReachesTheDerivedWindowOnce();
    void buttonTextsComeFromTheTable_data();
    void buttonTextsComeFromTheTable();
    void frameSurroundsThePageArea();
    void picturesAreSharpAtTheScreensPixelRatio();

private:
    void setLanguage(const QByteArray& code)
    {
        QVERIFY(mConfig.isValid());
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(mConfig.path()));
        QVERIFY(QDir(mConfig.path()).mkpath(QStringLiteral("Velkorp")));
        QFile file(mConfig.filePath(QStringLiteral("Velkorp/Fotodesk.conf")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("Language=" + code + '\n');
        file.close();
        LoadLanguage();
    }

    QTemporaryDir mConfig;
};

void TfrmWizardTest::moreStepsThanPagesListsOnlyThoseWithAPage()
{
    SampleWizard wizard(3, kFiveSteps);
    wizard.show();
    QCOMPARE(stepTexts(wizard), kFiveSteps.mid(0, 3));
    QCOMPARE(wizard.findChild<QLabel*>(QStringLiteral("stepNumber2"))->text().trimmed(),
             QStringLiteral("3."));
    QVERIFY(wizard.findChild<QLabel*>(QStringLiteral("stepNumber3")) == nullptr);

    // Each step starts below the wrapped text of the one before it.
    const auto* wrapped = wizard.findChild<QLabel*>(QStringLiteral("stepText2"));
    const auto* before = wizard.findChild<QLabel*>(QStringLiteral("stepText1"));
    QVERIFY(wrapped->height() > before->height());
    QVERIFY(wrapped->y() >= before->y() + before->height());
    QVERIFY(wrapped->x() + wrapped->width() <= 145);
}

void TfrmWizardTest::aPageWithoutAStepShowsNoRedStep()
{
    SampleWizard wizard(4, kFiveSteps.mid(0, 2));
    wizard.show();
    QCOMPARE(redSteps(wizard), QList<int>{0});
    wizard.setActivePageIndex(3);
    QCOMPARE(wizard.ActivePageIndex(), 3);
    QCOMPARE(redSteps(wizard), QList<int>{});

    // A wizard without steps (the scanner's) has none to colour.
    SampleWizard noSteps(2);
    noSteps.show();
    QCOMPARE(stepTexts(noSteps), QStringList());
}

void TfrmWizardTest::settingStepsTwiceReplacesTheList()
{
    SampleWizard wizard(5, kFiveSteps);
    wizard.show();
    wizard.setActivePageIndex(1);

    TfrmPics pics;
    wizard.SetWizardSteps(QStringLiteral("Print"), {QStringLiteral("Layout")}, &pics.imPrint);
    QCOMPARE(stepTexts(wizard), QStringList{QStringLiteral("Layout")});
    const auto* panel = wizard.findChild<QWidget*>(QStringLiteral("pnSteps"));
    QCOMPARE(panel->findChildren<QLabel*>().size(), 2);
    QCOMPARE(wizard.findChild<QLabel*>(QStringLiteral("lblTitle"))->text(),
             QStringLiteral("Print"));
    QVERIFY(wizard.windowTitle().startsWith(QStringLiteral("Print - ")));
    // Page 1 has no step any more.
    QCOMPARE(redSteps(wizard), QList<int>{});

    // Without a picture the side bar shows none; with one it sits below the steps.
    const auto* picture = wizard.findChild<QWidget*>(QStringLiteral("imSidePicture"));
    QVERIFY(picture->isVisible());
    QVERIFY(picture->y() > panel->y() + panel->height());
    QVERIFY(picture->x() >= 0 && picture->x() + picture->width() <= 145);
    wizard.SetWizardSteps(QStringLiteral("Scan"), {}, nullptr);
    QVERIFY(!picture->isVisible());
    QCOMPARE(panel->findChildren<QLabel*>().size(), 0);
}

void TfrmWizardTest::pendingPageOpensTheWizardThere()
{
    SampleWizard wizard(3, kFiveSteps, 2);
    QVERIFY(!wizard.isFrameBuilt());
    QCOMPARE(wizard.ActivePageIndex(), 2);
    wizard.show();
    QVERIFY(wizard.isFrameBuilt());
    QCOMPARE(wizard.pages()->currentIndex(), 2);
    QCOMPARE(redSteps(wizard), QList<int>{2});

    SampleWizard fresh(3, kFiveSteps);
    fresh.show();
    QCOMPARE(fresh.ActivePageIndex(), 0);
    QCOMPARE(redSteps(fresh), QList<int>{0});

    // A pending page that does not exist opens the first page instead.
    SampleWizard beyond(2, kFiveSteps, 7);
    beyond.show();
    QCOMPARE(beyond.ActivePageIndex(), 0);
    QCOMPARE(redSteps(beyond), QList<int>{0});
}

void TfrmWizardTest::highlightFollowsTheActivePage()
{
    SampleWizard wizard(4, kFiveSteps);
    wizard.show();
    for (const int page : {1, 2, 3, 2, 0}) {
        wizard.setActivePageIndex(page);
        QCOMPARE(wizard.ActivePageIndex(), page);
        QCOMPARE(redSteps(wizard), QList<int>{page});
    }
    // Moving past the last page is ignored rather than leaving no page shown.
    wizard.setActivePageIndex(3);
    wizard.setActivePageIndex(wizard.ActivePageIndex() + 1);
    QCOMPARE(wizard.ActivePageIndex(), 3);
    QCOMPARE(redSteps(wizard), QList<int>{3});
    // A derived window that switches the page itself still moves the highlight.
    wizard.pages()->setCurrentIndex(1);
    QCOMPARE(redSteps(wizard), QList<int>{1});
}

void TfrmWizardTest::applyTextsReachesTheDerivedWindowOnce()
{
    SampleWizard wizard(2, kFiveSteps);
    QCOMPARE(wizard.applyTextsCalls, 0);
    wizard.show();
    wizard.hide();
    wizard.show();
    QCOMPARE(wizard.applyTextsCalls, 1);
}

void TfrmWizardTest::buttonTextsComeFromTheTable_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QString>("next");
    QTest::addColumn<QString>("previous");
    QTest::newRow("English") << QByteArray() << QStringLiteral("Next >")
                             << QStringLiteral("< Previous");
    QTest::newRow("German") << QByteArrayLiteral("DE") << QStringLiteral("Weiter >")
                            << QStringLiteral("< Zurück");
}

void TfrmWizardTest::buttonTextsComeFromTheTable()
{
    QFETCH(QByteArray, code);
    QFETCH(QString, next);
    QFETCH(QString, previous);
    setLanguage(code);
    QCOMPARE(TfrmWizard::nextButtonText(), next);
    QCOMPARE(TfrmWizard::previousButtonText(), previous);
    SampleWizard wizard(1);
    wizard.show();
    QCOMPARE(wizard.nextCaption, next);
}

void TfrmWizardTest::frameSurroundsThePageArea()
{
    // The size a derived window gives is its page area; the frame adds header and side bar.
    SampleWizard sized(2, kFiveSteps);
    sized.resize(500, 380);
    sized.show();
    QCOMPARE(sized.size(), QSize(645, 433));
    QCOMPARE(sized.pages()->geometry(), QRect(145, 53, 500, 380));
    QCOMPARE(sized.minimumSize(), sized.maximumSize());

    // Without one the pages' own size hint is used.
    SampleWizard hinted(2);
    hinted.pages()->widget(0)->setMinimumSize(300, 200);
    hinted.show();
    QVERIFY(hinted.pages()->width() >= 300 && hinted.pages()->height() >= 200);
    QCOMPARE(hinted.width(), hinted.pages()->width() + 145);
}

void TfrmWizardTest::picturesAreSharpAtTheScreensPixelRatio()
{
    const TfrmPics pics;
    const WizardPicture* pictures[] = {&pics.imGetPhotos, &pics.imPrint, &pics.imUpload,
                                       &pics.imExport, &wizard::artwork::logo()};
    QCOMPARE(wizard::artwork::logo().size(), QSize(122, 39));
    QList<QImage> seen;
    for (const WizardPicture* picture : pictures) {
        QVERIFY(picture->size().width() <= 145);
        const QImage normal = picture->render(1);
        const QImage doubled = picture->render(2);
        QCOMPARE(normal.size(), picture->size());
        QCOMPARE(doubled.size(), picture->size() * 2);
        QCOMPARE(doubled.deviceIndependentSize(), QSizeF(picture->size()));
        // Drawn, not blank, and each one its own.
        QImage blank(normal.size(), normal.format());
        blank.fill(Qt::transparent);
        QVERIFY(normal != blank);
        QVERIFY(!seen.contains(normal));
        seen << normal;
    }
}

QTEST_MAIN(TfrmWizardTest)
#include "TfrmWizardTest.moc"

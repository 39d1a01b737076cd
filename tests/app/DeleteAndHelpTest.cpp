// The Delete and Help commands of the main window, with real files and the real hook.
#include "AppMessageFilter.h"
#include "DeletePhotos.h"
#include "EventLoopWait.h"
#include "HelpManual.h"
#include "ImagingResult.h"
#include "JpegCodec.h"
#include "ShellTestNamespace.h"
#include "TVelkoImageScroller.h"
#include "TfrmGetPhotos.h"
#include "TfrmMain.h"
#include "uLanguage.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QStringDecoder>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>

// Takes the addresses the program opens instead of a browser.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    UrlCatcher()
    {
        for (const char* scheme : {"file", "http", "https"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
    }
    ~UrlCatcher() override
    {
        for (const char* scheme : {"file", "http", "https"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

// Answers the program's message boxes from inside their modal loops.
class BoxAnswerer
{
public:
    explicit BoxAnswerer(std::function<void(QMessageBox&)> answer) : mAnswer(std::move(answer))
    {
        QObject::connect(&mTimer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                mAnswer(*box);
        });
        mTimer.start(10);
    }

private:
    std::function<void(QMessageBox&)> mAnswer;
    QTimer mTimer;
};

QAbstractButton* buttonWithText(QMessageBox& box, const QString& text)
{
    for (QAbstractButton* button : box.buttons())
        if (button->text() == text)
            return button;
    qFatal("no button %s", qPrintable(text));
}

class DeleteAndHelpTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        mNamespace = std::make_unique<ShellTestNamespace>();
        mNamespace->makeFolder("etc/Velkorp");
        mNamespace->makeFolder("data");
        qputenv("XDG_CONFIG_DIRS", mNamespace->path("etc"));
        qputenv("XDG_CONFIG_HOME", mNamespace->path("config"));
        qputenv("VELKO_DATA_DIR", mNamespace->path("data"));
        LoadLanguage();
    }
    void cleanup()
    {
        qunsetenv("VELKO_DATA_DIR");
        mNamespace.reset();
    }

    void deletingRefusesReadOnlyFilesEvenForRoot();
    void deleteTakesTwoAndNamesTheReadOnlyPhotoAfterASecond();
    void aPhotoFreedDuringTheWaitGoesOnTheSecondPass();
    void answeringNoDeletesNothing();

    void siteAddress_data();
    void siteAddress();
    void helpOpensTheInstalledManual_data();
    void helpOpensTheInstalledManual();
    void withoutTheManualTheSiteOpensItsOnlineManual();
    void withNeitherTheUserIsToldTheManualIsMissing();
    void f1InsideAModalWizardOpensTheManual();
    void theShippedManualIsUtf8AndSelfContained();

private:
    QString homeFile(const char* name) const
    {
        return QFile::decodeName(mNamespace->home() + '/' + name);
    }
    // Three small photos in the home folder, shown by a main window with all of them selected.
    void showThreePhotos(TfrmMain& window) const;
    void installManual() const
    {
        mNamespace->makeFolder("data/Manual");
        mNamespace->writeFile("data/Manual/manual.htm", "<html></html>");
    }

    void writeSiteHost(const QByteArray& host) const
    {
        mNamespace->makeFolder("config/Velkorp");
        mNamespace->writeFile("config/Velkorp/Fotodesk.conf", "SiteHost=" + host + '\n');
    }

    std::unique_ptr<ShellTestNamespace> mNamespace;
};

void DeleteAndHelpTest::showThreePhotos(TfrmMain& window) const
{
    imaging::Bitmap bitmap;
    QCOMPARE(bitmap.allocate(32, 24), imaging::Success);
    std::fill(bitmap.bits(), bitmap.bits() + bitmap.byteCount(), std::uint8_t(90));
    QByteArray jpeg;
    QCOMPARE(imaging::saveJpeg(bitmap, 90, jpeg), imaging::Success);
    for (const char* name : {"home/a.jpg", "home/b.jpg", "home/c.jpg"})
        mNamespace->writeFile(name, jpeg);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The grid takes no selection while its scan is still running.
    TVelkoImageScroller* grid = window.imageScroller();
    QVERIFY(pumpUntil([&] { return grid->photos().count() == 3 && !grid->loading(); }));
    grid->SetAllSelected(true);
    QVERIFY(grid->HasSelection());
}

void DeleteAndHelpTest::deletingRefusesReadOnlyFilesEvenForRoot()
{
    const QString readOnly = homeFile("locked.jpg");
    mNamespace->writeFile("home/locked.jpg", "x");
    QVERIFY(::chmod(QFile::encodeName(readOnly).constData(), 0444) == 0);
    QString reason;
    QVERIFY(!deletePhotoFile(readOnly, &reason));
    QVERIFY(QFile::exists(readOnly));
    QCOMPARE(reason, QString::fromLocal8Bit(strerror(EACCES)));

    // A link goes as itself; what it points at stays protected.
    const QString link = homeFile("link.jpg");
    QVERIFY(::symlink("locked.jpg", QFile::encodeName(link).constData()) == 0);
    QVERIFY(deletePhotoFile(link));
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(QFile::exists(readOnly));

    // Another window or a file manager may have deleted it first: nothing to report.
    QVERIFY(deletePhotoFile(homeFile("gone.jpg")));
}

void DeleteAndHelpTest::deleteTakesTwoAndNamesTheReadOnlyPhotoAfterASecond()
{
    TfrmMain window;
    showThreePhotos(window);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(::chmod(QFile::encodeName(homeFile("b.jpg")).constData(), 0444) == 0);
    TVelkoImageScroller* grid = window.imageScroller();

    QElapsedTimer sinceYes;
    QString asked;
    QString reported;
    qint64 reportedAfter = -1;
    int photosWhenReported = -1;
    const BoxAnswerer answerer([&](QMessageBox& box) {
        if (box.objectName() == QLatin1String("ConfirmDelete")) {
            asked = box.text();
            QCOMPARE(box.buttons().size(), 2);
            sinceYes.start();
            buttonWithText(box, GetText(5))->click();
        } else if (box.objectName() == QLatin1String("PhotosNotDeleted")) {
            reported = box.text();
            reportedAfter = sinceYes.elapsed();
            photosWhenReported = grid->photos().count();
            buttonWithText(box, GetText(7))->click();
        } else {
            box.accept();
        }
    });
    window.findChild<QToolButton*>(QStringLiteral("btnDelete"))->click();
    QCOMPARE(asked, GetText(115));
    // The command returns to the event loop while it waits for the second pass.
    QVERIFY(reported.isEmpty());
    QVERIFY(pumpUntil([&] { return !reported.isEmpty(); }));

    QCOMPARE(reported, GetText(116) + QStringLiteral("\n\nb.jpg\n"));
    QVERIFY2(reportedAfter >= DeletePhotos::kRetryDelayMs,
             qPrintable(QString::number(reportedAfter)));
    QCOMPARE(photosWhenReported, 1);
    QCOMPARE(grid->photos().at(0)->path(), homeFile("b.jpg"));
    QVERIFY(!QFile::exists(homeFile("a.jpg")));
    QVERIFY(QFile::exists(homeFile("b.jpg")));
    QVERIFY(!QFile::exists(homeFile("c.jpg")));
    QVERIFY(pumpUntil([&] { return !window.findChild<DeletePhotos*>(); }));
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void DeleteAndHelpTest::aPhotoFreedDuringTheWaitGoesOnTheSecondPass()
{
    TfrmMain window;
    showThreePhotos(window);
    if (QTest::currentTestFailed())
        return;
    const QByteArray locked = QFile::encodeName(homeFile("c.jpg"));
    QVERIFY(::chmod(locked.constData(), 0444) == 0);
    bool reported = false;
    const BoxAnswerer answerer([&](QMessageBox& box) {
        if (box.objectName() == QLatin1String("ConfirmDelete")) {
            buttonWithText(box, GetText(5))->click();
        } else {
            reported = true;
            box.accept();
        }
    });
    window.findChild<QToolButton*>(QStringLiteral("btnDelete"))->click();
    QVERIFY(QFile::exists(homeFile("c.jpg")));
    QVERIFY(::chmod(locked.constData(), 0644) == 0);
    QVERIFY(pumpUntil([&] { return window.imageScroller()->photos().isEmpty(); }));
    QVERIFY(pumpUntil([&] { return !window.findChild<DeletePhotos*>(); }));
    QVERIFY(!QFile::exists(homeFile("c.jpg")));
    QVERIFY(!reported);
}

void DeleteAndHelpTest::answeringNoDeletesNothing()
{
    TfrmMain window;
    showThreePhotos(window);
    if (QTest::currentTestFailed())
        return;
    const BoxAnswerer answerer([](QMessageBox& box) {
        if (box.objectName() == QLatin1String("ConfirmDelete"))
            buttonWithText(box, GetText(6))->click();
        else
            box.accept();
    });
    QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("cptDelete")), Qt::LeftButton);
    pumpFor(100ms);
    QCOMPARE(window.imageScroller()->photos().count(), 3);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        QVERIFY(QFile::exists(homeFile(name)));
}

void DeleteAndHelpTest::siteAddress_data()
{
    QTest::addColumn<QString>("siteHost");
    QTest::addColumn<QString>("address");
    QTest::newRow("bare host") << "photos.example"
                               << "http://photos.example";
    QTest::newRow("host and port") << "photos.example:8080"
                                   << "http://photos.example:8080";
    QTest::newRow("https") << "https://photos.example"
                           << "https://photos.example";
    QTest::newRow("HTTPS with port and slash") << " HTTPS://Photos.Example:8443/ "
                                               << "https://photos.example:8443";
    QTest::newRow("http scheme") << "http://127.0.0.1:5000"
                                 << "http://127.0.0.1:5000";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("scheme only") << "https://"
                                 << "";
    QTest::newRow("port not a number") << "photos.example:web"
                                       << "";
    QTest::newRow("user in front") << "me@photos.example"
                                   << "";
}

void DeleteAndHelpTest::siteAddress()
{
    QFETCH(QString, siteHost);
    QFETCH(QString, address);
    QCOMPARE(photoSiteBaseAddress(siteHost), address);
}

void DeleteAndHelpTest::helpOpensTheInstalledManual_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::newRow("F1") << "";
    QTest::newRow("Help button") << "btnHelp";
    QTest::newRow("Help link") << "cptHelp";
}

void DeleteAndHelpTest::helpOpensTheInstalledManual()
{
    QFETCH(QString, trigger);
    installManual();
    // The installed manual wins over the online one.
    writeSiteHost("photos.example");
    TfrmMain window;
    AppMessageFilter hook(
        [&window](QObject* target, QEvent* event) { return window.AppMessage(target, event); });
    qApp->installEventFilter(&hook);
    const UrlCatcher catcher;
    if (trigger.isEmpty())
        QTest::keyClick(&window, Qt::Key_F1);
    else if (auto* button = window.findChild<QToolButton*>(trigger))
        button->click();
    else
        QTest::mouseClick(window.findChild<QWidget*>(trigger), Qt::LeftButton);
    qApp->removeEventFilter(&hook);
    QCOMPARE(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(
                                 QFile::decodeName(mNamespace->path("data/Manual/manual.htm")))});
}

void DeleteAndHelpTest::withoutTheManualTheSiteOpensItsOnlineManual()
{
    writeSiteHost("https://photos.example");
    const UrlCatcher catcher;
    TfrmMain window;
    QString told;
    const BoxAnswerer answerer([&](QMessageBox& box) {
        told = box.text();
        box.accept();
    });
    window.findChild<QToolButton*>(QStringLiteral("btnHelp"))->click();
    QCOMPARE(
        catcher.opened,
        QList<QUrl>{QUrl(QStringLiteral("https://photos.example/fotodesk/manual/default.aspx"))});
    QVERIFY(told.isEmpty());
}

void DeleteAndHelpTest::withNeitherTheUserIsToldTheManualIsMissing()
{
    const UrlCatcher catcher;
    TfrmMain window;
    QString told;
    const BoxAnswerer answerer([&](QMessageBox& box) {
        told = box.text();
        box.accept();
    });
    window.findChild<QToolButton*>(QStringLiteral("btnHelp"))->click();
    QCOMPARE(told, GetText(132));
    QVERIFY(catcher.opened.isEmpty());
}

void DeleteAndHelpTest::f1InsideAModalWizardOpensTheManual()
{
    installManual();
    TfrmMain window;
    TfrmGetPhotos* wizard = window.createLongLivedWindows().frmGetPhotos;
    AppMessageFilter hook(
        [&window](QObject* target, QEvent* event) { return window.AppMessage(target, event); });
    qApp->installEventFilter(&hook);
    const UrlCatcher catcher;
    bool pressedInside = false;
    QTimer::singleShot(0, [&] {
        pressedInside = QApplication::activeModalWidget() == wizard;
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus && wizard->isAncestorOf(focus) ? focus : wizard, Qt::Key_F1);
        wizard->reject();
    });
    wizard->exec();
    qApp->removeEventFilter(&hook);
    QVERIFY(pressedInside);
    QCOMPARE(catcher.opened.size(), 1);
    QVERIFY(catcher.opened.first().toLocalFile().endsWith(QLatin1String("/Manual/manual.htm")));
}

void DeleteAndHelpTest::theShippedManualIsUtf8AndSelfContained()
{
    // What F1 opens from the build tree; the install test checks the installed copy.
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/Manual");
    QFile file(folder + QStringLiteral("/manual.htm"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(file.readAll());
    QVERIFY2(!utf8.hasError(), "the manual is not valid UTF-8");
    QVERIFY(text.contains(QLatin1String("<meta charset=\"utf-8\">")));
    static const QRegularExpression picture(QStringLiteral("src=\"([^\"]*)\""));
    int pictures = 0;
    for (const QRegularExpressionMatch& match : picture.globalMatch(text)) {
        QVERIFY2(QFileInfo::exists(folder + QLatin1Char('/') + match.captured(1)),
                 qPrintable(match.captured(1)));
        ++pictures;
    }
    QVERIFY(pictures > 0);
}

QTEST_MAIN(DeleteAndHelpTest)
#include "DeleteAndHelpTest.moc"

#include "AppMessageFilter.h"
#include "DriveRequestEvent.h"
#include "EventLoopWait.h"
#include "ImagingResult.h"
#include "JpegCodec.h"
#include "LinkLabel.h"
#include "ModalAnswer.h"
#include "ProgramVersion.h"
#include "ScreenSaverInhibitor.h"
#include "ShellNamespace.h"
#include "ShellTestNamespace.h"
#include "TVelkoDirectoryTreeview.h"
#include "TVelkoImageScroller.h"
#include "TfrmCreateAlbumEXE.h"
#include "TfrmEditPicture.h"
#include "TfrmGetPhotos.h"
#include "TfrmMain.h"
#include "TfrmPics.h"
#include "TfrmPrint.h"
#include "TfrmSplash.h"
#include "TfrmUpload.h"
#include "TfrmViewer.h"
#include "TfrmWIA.h"
#include "uLanguage.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <memory>

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        mNamespace = std::make_unique<ShellTestNamespace>();
        mNamespace->makeFolder("home/Pictures/Holiday");
        mNamespace->makeFolder("etc/Velkorp");
        qputenv("XDG_CONFIG_DIRS", mNamespace->path("etc"));
        qputenv("XDG_CONFIG_HOME", mNamespace->path("config"));
        LoadLanguage();
    }
    void cleanup() { mNamespace.reset(); }

    void textsComeFromTheTable_data();
    void textsComeFromTheTable();
    void englishTextsAsTheWindowShowsThem();
    void layoutOfTheCommandColumn();
    void uploadCommandAppearsWithASiteHost();
    void sizeLimitsAndCaption();
    void longLivedWindowsInStartUpOrder();
    void driveRequestIsDroppedWhileAModalWindowIsOpen();
    void driveRequestOpensGetPhotosOnTheCard();
    void getPhotosOpensOnTheDesktopWithTheMainFolder();
    void f1IsHandledByTheHook();
    void treeStartsAtMyDocumentsAndFeedsTheGrid();
    void closingIsRefusedWhileEditing();
    void editOpensTheActivePhotoOverThePhotoArea();
    void photoCommandsWithoutASelectionSayWhatIsMissing();
    void splashStaysUpForItsMinimumTime();
    void eachCommandButtonRunsItsCommandOnce();
    void theGridPaintsInTheGridColour();
    void viewAndSlideshowShowTheSelectedPhotos_data();
    void viewAndSlideshowShowTheSelectedPhotos();
    void createViewerOpensTheExportWizardOnItsFirstPage();

private:
    void setLanguageCode(const QString& code) const
    {
        mNamespace->writeFile("etc/Velkorp/Fotodesk.conf", "Language=" + code.toLatin1() + '\n');
    }

    template <class T> static T* child(const QWidget& window, const char* name)
    {
        T* found = window.findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }

    std::unique_ptr<ShellTestNamespace> mNamespace;
};

void MainWindowTest::textsComeFromTheTable_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("language");
    QTest::newRow("English") << QString() << int(LangEnglish);
    QTest::newRow("Italian") << QStringLiteral("IT") << int(LangItalian);
    QTest::newRow("French") << QStringLiteral("FR") << int(LangFrench);
    QTest::newRow("German") << QStringLiteral("DE") << int(LangGerman);
    QTest::newRow("Spanish") << QStringLiteral("ES") << int(LangSpanish);
    QTest::newRow("Dutch") << QStringLiteral("NL") << int(LangDutch);
}

void MainWindowTest::textsComeFromTheTable()
{
    QFETCH(QString, code);
    QFETCH(int, language);
    setLanguageCode(code);
    LoadLanguage();
    QCOMPARE(int(CurrentLanguage()), language);

    const TfrmMain window;
    const auto text = [language](unsigned id) { return GetTextFor(id, unsigned(language)); };
    QCOMPARE(child<QLabel>(window, "cptSelectFolder")->text(), text(100));
    QCOMPARE(child<QToolButton>(window, "btnSelectAll")->toolTip(), text(101));
    QCOMPARE(child<QToolButton>(window, "btnDeselectAll")->toolTip(), text(102));
    QCOMPARE(child<QLabel>(window, "cptSelectedPhotos")->text(), text(104));
    QCOMPARE(child<QToolButton>(window, "btnUpload")->toolTip(), text(119));
    QCOMPARE(child<QToolButton>(window, "btnScreenSaver")->toolTip(), text(110));
    QCOMPARE(child<QToolButton>(window, "btnTWAIN")->toolTip(), text(800));
    QCOMPARE(child<QLabel>(window, "lblFareDoppio")->text(), text(112));
    QCOMPARE(child<LinkLabel>(window, "lblEdit")->text(), text(118));
    QCOMPARE(child<TVelkoImageScroller>(window, "VelkoImageScroller1")->noItemsText(), text(113));
    QCOMPARE(child<QToolButton>(window, "btnHelp")->toolTip(), text(117) + QStringLiteral(" (F1)"));
    QCOMPARE(child<LinkLabel>(window, "cptHelp")->text(), text(117));

    // Each link label shows its button's hint.
    const std::pair<const char*, unsigned> links[] = {
        {"cptGetPhotos", 103}, {"cptPrint", 105},          {"cptView", 107},
        {"cptSlideShow", 108}, {"cptCreateViewFile", 109}, {"cptDelete", 111},
        {"cptSnapshot", 120},  {"cptUpload", 119},         {"cptScreenSaver", 110},
    };
    for (const auto& [name, id] : links) {
        QVERIFY(!text(id).isEmpty());
        QCOMPARE(child<LinkLabel>(window, name)->text(), text(id));
    }

    // However the hint wraps, the Help command stays below it.
    QVERIFY(child<QToolButton>(window, "btnHelp")->y() >
            child<QLabel>(window, "lblFareDoppio")->geometry().bottom());
}

void MainWindowTest::englishTextsAsTheWindowShowsThem()
{
    const TfrmMain window;
    QCOMPARE(child<LinkLabel>(window, "cptPrint")->text(), QStringLiteral("Print"));
    QCOMPARE(child<QToolButton>(window, "btnHelp")->toolTip(), QStringLiteral("Help (F1)"));
    QCOMPARE(child<LinkLabel>(window, "cptCreateViewFile")->text(),
             QStringLiteral("Create photo viewer or\r\nscreensaver"));
    QCOMPARE(child<TVelkoImageScroller>(window, "VelkoImageScroller1")->noItemsText(),
             QStringLiteral("No photos in this folder"));
}

void MainWindowTest::layoutOfTheCommandColumn()
{
    TfrmMain window;
    window.resize(900, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const std::pair<const char*, int> tops[] = {
        {"btnView", 0},     {"btnSlideshow", 29}, {"btnPrint", 58}, {"btnCreateViewFile", 87},
        {"btnDelete", 124}, {"btnEdit", 171},
    };
    for (const auto& [name, top] : tops) {
        const auto* button = child<QToolButton>(window, name);
        QCOMPARE(button->geometry(), QRect(1, top, 24, 24));
        QVERIFY(button->isVisible());
    }
    QCOMPARE(child<QLabel>(window, "lblFareDoppio")->y(), 194);
    QCOMPARE(child<QWidget>(window, "pnButtons")->width(), 153);

    // No webcam: Help takes the webcam button's place.
    QVERIFY(!child<QToolButton>(window, "btnSnapshot")->isVisible());
    QVERIFY(!child<LinkLabel>(window, "cptSnapshot")->isVisible());
    const auto* help = child<QToolButton>(window, "btnHelp");
    QCOMPARE(help->y(), 227);
    const auto* helpLabel = child<LinkLabel>(window, "cptHelp");
    QCOMPARE(helpLabel->x(), 27);
    QCOMPARE(helpLabel->geometry().center().y(), help->geometry().center().y());

    for (const char* hidden :
         {"btnUpload", "cptUpload", "btnScreenSaver", "cptScreenSaver", "cptEdit", "bvSeparator2"})
        QVERIFY2(!child<QWidget>(window, hidden)->isVisible(), hidden);
    QVERIFY(child<QWidget>(window, "bvSeparator")->isVisible());
    QCOMPARE(child<QWidget>(window, "bvSeparator")->y(), 164);

    // TWAIN lies below the tool strip and so is never seen.
    const auto* strip = child<QWidget>(window, "Panel2");
    QCOMPARE(strip->height(), 30);
    QVERIFY(child<QToolButton>(window, "btnTWAIN")->y() >= strip->height());
    QCOMPARE(child<QWidget>(window, "pnTop")->height(), 55);
    QCOMPARE(child<QWidget>(window, "pnBar")->height(), 51);
    QCOMPARE(child<QLabel>(window, "lblTitle")->x(), 192);
}

void MainWindowTest::uploadCommandAppearsWithASiteHost()
{
    mNamespace->makeFolder("config/Velkorp");
    mNamespace->writeFile("config/Velkorp/Fotodesk.conf", "SiteHost=127.0.0.1:8080\n");
    imaging::Bitmap bitmap;
    QCOMPARE(bitmap.allocate(32, 24), imaging::Success);
    QByteArray jpeg;
    QCOMPARE(imaging::saveJpeg(bitmap, 90, jpeg), imaging::Success);
    mNamespace->writeFile("home/a.jpg", jpeg);

    TfrmMain window;
    window.resize(900, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Right after Print; what follows moves down by one command.
    QCOMPARE(child<QToolButton>(window, "btnUpload")->geometry(), QRect(1, 87, 24, 24));
    QVERIFY(child<QToolButton>(window, "btnUpload")->isVisible());
    QVERIFY(child<LinkLabel>(window, "cptUpload")->isVisible());
    QCOMPARE(child<QToolButton>(window, "btnCreateViewFile")->y(), 124);
    QCOMPARE(child<QToolButton>(window, "btnDelete")->y(), 161);
    QCOMPARE(child<QWidget>(window, "bvSeparator")->y(), 201);
    QCOMPARE(child<QToolButton>(window, "btnEdit")->y(), 208);
    QVERIFY(child<QToolButton>(window, "btnHelp")->y() >
            child<QLabel>(window, "lblFareDoppio")->geometry().bottom());

    // Nothing selected: text 114; a selection opens the wizard.
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    child<QToolButton>(window, "btnUpload")->click();
    QCOMPARE(shown, GetText(114));

    TfrmUpload* wizard = window.createLongLivedWindows().frmUpload;
    TVelkoImageScroller* grid = window.imageScroller();
    QVERIFY(pumpUntil([&] { return grid->photos().count() == 1; }));
    grid->photos().at(0)->setSelected(true);
    bool opened = false;
    QTimer::singleShot(0, [&] {
        opened = QApplication::activeModalWidget() == wizard;
        wizard->reject();
    });
    QTest::mouseClick(child<LinkLabel>(window, "cptUpload"), Qt::LeftButton);
    QVERIFY(opened);
}

void MainWindowTest::sizeLimitsAndCaption()
{
    TfrmMain window;
    QCOMPARE(window.minimumSize(), QSize(652, 460));
    QCOMPARE(window.windowTitle(),
             QStringLiteral("Velko Fotodesk (v") + ProgramFileVersion() + QStringLiteral(")"));
    QVERIFY(!ProgramFileVersion().isEmpty());

    const int limit = window.treeMaximumWidth();
    QCOMPARE(window.directoryTree()->maximumWidth(), limit);
    QCOMPARE(window.directoryTree()->minimumWidth(), 1);

    // Dragged to its widest at the minimum window size, one thumbnail column still fits.
    window.resize(window.minimumSize());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* splitter = child<QSplitter>(window, "Splitter1");
    QSplitterHandle* handle = splitter->handle(1);
    const QPoint grip = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    QMouseEvent drag(QEvent::MouseMove, QPointF(grip + QPoint(1000, 0)),
                     handle->mapToGlobal(QPointF(grip + QPoint(1000, 0))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &drag);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(1000, 0));
    QCOMPARE(window.directoryTree()->width(), limit);
    const auto* grid = window.imageScroller();
    QTRY_VERIFY(grid->width() > 0);
    QVERIFY2(grid->width() >= 2 * grid->padding() + 2 * grid->spacing() + grid->thumbSize(),
             qPrintable(QStringLiteral("window %1, tree %2, grid %3")
                            .arg(window.width())
                            .arg(window.directoryTree()->width())
                            .arg(grid->width())));
}

void MainWindowTest::longLivedWindowsInStartUpOrder()
{
    TfrmMain window;
    const LongLivedWindows& windows = window.createLongLivedWindows();
    const QObject* created[] = {windows.frmPics,           windows.frmGetPhotos, windows.frmPrint,
                                windows.frmCreateAlbumEXE, windows.frmUpload,    windows.frmWIA};
    const char* classes[] = {"TfrmPics",           "TfrmGetPhotos", "TfrmPrint",
                             "TfrmCreateAlbumEXE", "TfrmUpload",    "TfrmWIA"};
    // Created in this order: each is a later child of the main window than the one before.
    const QObjectList children = window.children();
    qsizetype previous = -1;
    for (int i = 0; i < 6; ++i) {
        QVERIFY(created[i]);
        QCOMPARE(created[i]->metaObject()->className(), classes[i]);
        const qsizetype at = children.indexOf(const_cast<QObject*>(created[i]));
        QVERIFY(at > previous);
        previous = at;
    }
    QVERIFY(!windows.frmGetPhotos->isVisible());
}

void MainWindowTest::driveRequestIsDroppedWhileAModalWindowIsOpen()
{
    TfrmMain window;
    AppMessageFilter hook(
        [&window](QObject* target, QEvent* event) { return window.AppMessage(target, event); });
    qApp->installEventFilter(&hook);
    QSignalSpy taken(&window, &TfrmMain::driveRequestTaken);

    QCoreApplication::postEvent(qApp, new DriveRequestEvent(QStringLiteral("/media/card"), true));
    QTRY_COMPARE(taken.count(), 1);
    QCOMPARE(taken.at(0).at(0).toString(), QStringLiteral("/media/card"));
    QCOMPARE(taken.at(0).at(1).toBool(), true);

    QDialog modal(&window);
    QTimer::singleShot(0, [&] {
        QCoreApplication::postEvent(qApp, new DriveRequestEvent(QStringLiteral("/mnt/x"), false));
        QTimer::singleShot(100, &modal, &QDialog::accept);
    });
    modal.exec();
    QCoreApplication::processEvents();
    QCOMPARE(taken.count(), 1);
    qApp->removeEventFilter(&hook);
}

void MainWindowTest::driveRequestOpensGetPhotosOnTheCard()
{
    mNamespace->makeFolder("media/CARD/DCIM");
    mNamespace->writeMountTable(
        ShellTestNamespace::baseMounts() +
        ShellTestNamespace::mountLine(20, mNamespace->media() + "/CARD", "vfat", "/dev/sdb1"));
    mNamespace->apply();
    TfrmMain window;
    TfrmGetPhotos* wizard = window.createLongLivedWindows().frmGetPhotos;
    AppMessageFilter hook(
        [&window](QObject* target, QEvent* event) { return window.AppMessage(target, event); });
    qApp->installEventFilter(&hook);
    QSignalSpy taken(&window, &TfrmMain::driveRequestTaken);

    // The main window shows Pictures; a second copy's request takes it as the destination.
    TVelkoDirectoryTreeview* tree = window.directoryTree();
    QTreeWidgetItem* myDocuments = tree->currentItem();
    for (int i = 0; i < myDocuments->childCount(); ++i)
        if (myDocuments->child(i)->text(0) == QLatin1String("Pictures"))
            tree->setCurrentItem(myDocuments->child(i));
    QString sourceRoot;
    QByteArray destination;
    bool driveMode = false;
    // Looks at the wizard from inside its modal loop.
    QTimer inspector;
    QObject::connect(&inspector, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget() != wizard || !sourceRoot.isEmpty())
            return;
        sourceRoot = wizard->sourceTree()->RootNode()->text(0);
        destination = ShellNamespace::instance()
                          .pathOf(*wizard->destinationTree()->SelectedFolderId())
                          .value_or(QByteArray());
        driveMode = wizard->driveMode();
        // A request while the wizard is open is dropped.
        QCoreApplication::postEvent(qApp, new DriveRequestEvent(QStringLiteral("/"), false));
        QTimer::singleShot(50, wizard, &QDialog::reject);
    });
    inspector.start(10);
    QCoreApplication::postEvent(
        qApp, new DriveRequestEvent(QFile::decodeName(mNamespace->media() + "/CARD/DCIM"), true));
    QTRY_COMPARE(taken.count(), 1);
    QTRY_VERIFY(!wizard->isVisible());
    QCoreApplication::processEvents();
    qApp->removeEventFilter(&hook);
    QCOMPARE(taken.count(), 1);
    QCOMPARE(sourceRoot, QStringLiteral("CARD"));
    QCOMPARE(destination, mNamespace->home() + "/Pictures");
    QVERIFY(driveMode);
}

void MainWindowTest::getPhotosOpensOnTheDesktopWithTheMainFolder()
{
    TfrmMain window;
    TfrmGetPhotos* wizard = window.createLongLivedWindows().frmGetPhotos;
    QByteArray destination;
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = QApplication::activeModalWidget() == wizard;
        destination = ShellNamespace::instance()
                          .pathOf(*wizard->destinationTree()->SelectedFolderId())
                          .value_or(QByteArray());
        QVERIFY(!wizard->driveMode());
        QCOMPARE(wizard->ActivePageIndex(), 0);
        QCOMPARE(wizard->sourceTree()->RootNode()->text(0), QStringLiteral("Desktop"));
        wizard->reject();
    });
    child<QToolButton>(window, "btnGetPhotos")->click();
    QVERIFY(shown);
    QCOMPARE(destination, mNamespace->home());
}

void MainWindowTest::f1IsHandledByTheHook()
{
    TfrmMain window;
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
    QVERIFY(window.AppMessage(&window, &f1));
    QVERIFY(!window.AppMessage(&window, &f2));
    QEvent other(QEvent::Type(QEvent::User + 1));
    QVERIFY(!window.AppMessage(&window, &other));
}

void MainWindowTest::treeStartsAtMyDocumentsAndFeedsTheGrid()
{
    TfrmMain window;
    TVelkoDirectoryTreeview* tree = window.directoryTree();
    QTreeWidgetItem* root = tree->RootNode();
    QVERIFY(root);
    QVERIFY(root->isExpanded());
    QTreeWidgetItem* selected = tree->currentItem();
    QVERIFY(selected);
    QCOMPARE(selected->parent(), root);
    QVERIFY(selected->isExpanded());

    const ShellFolder& desktop = ShellNamespace::instance().desktopFolder();
    const ShellItemIdList myDocuments = ShellNamespace::instance().myDocuments();
    QVERIFY(window.imageScroller()->folder().has_value());
    QCOMPARE(desktop.compareIds(*window.imageScroller()->folder(), myDocuments), 0);

    // Choosing another folder hands it to the grid.
    QTreeWidgetItem* pictures = nullptr;
    for (int i = 0; i < selected->childCount(); ++i)
        if (selected->child(i)->text(0) == QLatin1String("Pictures"))
            pictures = selected->child(i);
    QVERIFY(pictures);
    tree->setCurrentItem(pictures);
    const auto path = ShellNamespace::instance().pathOf(*window.imageScroller()->folder());
    QVERIFY(path.has_value());
    QCOMPARE(*path, mNamespace->home() + "/Pictures");
}

void MainWindowTest::photoCommandsWithoutASelectionSayWhatIsMissing()
{
    TfrmMain window;
    for (const char* name : {"btnView", "cptSlideShow", "btnPrint", "btnDelete"}) {
        QString shown;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text();
                QCOMPARE(box->buttons().size(), 1);
                QCOMPARE(box->buttons().first()->text(), GetText(7));
                box->accept();
            }
        });
        QWidget* command = child<QWidget>(window, name);
        QVERIFY2(command, name);
        if (auto* button = qobject_cast<QAbstractButton*>(command))
            button->click();
        else
            QTest::mouseClick(command, Qt::LeftButton);
        QCOMPARE(shown, GetText(114));
    }
}

void MainWindowTest::closingIsRefusedWhileEditing()
{
    TfrmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* frame = child<QWidget>(window, "frmEditPicture");
    QVERIFY(!frame->isVisible());
    frame->show();
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());
    frame->hide();
    QVERIFY(window.close());
}

void MainWindowTest::editOpensTheActivePhotoOverThePhotoArea()
{
    TfrmMain window;
    window.setGeometry(100, 80, 1000, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* frame = child<TfrmEditPicture>(window, "frmEditPicture");
    auto* panel0 = child<QLabel>(window, "StatusPanel0");
    auto* panel1 = child<QLabel>(window, "StatusPanel1");
    TVelkoImageScroller* grid = window.imageScroller();

    // With an empty grid, nothing.
    child<QToolButton>(window, "btnEdit")->click();
    QVERIFY(!frame->isVisible());

    imaging::Bitmap bitmap;
    QCOMPARE(bitmap.allocate(64, 48), imaging::Success);
    std::fill(bitmap.bits(), bitmap.bits() + bitmap.byteCount(), std::uint8_t(120));
    QByteArray jpeg;
    QCOMPARE(imaging::saveJpeg(bitmap, 90, jpeg), imaging::Success);
    for (const char* name : {"home/a.jpg", "home/b.jpg"})
        mNamespace->writeFile(name, jpeg);
    QVERIFY(pumpUntil([&] { return grid->photos().count() == 2; }));
    QCOMPARE(grid->focusedIndex(), -1);

    // No focused photo: the first is focused and opened, covering tree and grid.
    QTest::mouseClick(child<LinkLabel>(window, "lblEdit"), Qt::LeftButton);
    QVERIFY(frame->isVisible());
    QCOMPARE(grid->focusedIndex(), 0);
    QCOMPARE(panel0->text(), grid->photos().at(0)->path());
    QCOMPARE(panel1->text(), QStringLiteral("64x48"));
    const QRect covered = frame->geometry();
    for (QWidget* hidden :
         {static_cast<QWidget*>(grid), static_cast<QWidget*>(window.directoryTree())})
        QVERIFY(covered.contains(
            QRect(hidden->mapTo(window.centralWidget(), QPoint()), hidden->size())));
    QCOMPARE(grid->focusPolicy(), Qt::NoFocus);
    QCOMPARE(window.directoryTree()->focusPolicy(), Qt::NoFocus);

    // The window stays while the frame is shown; closing it closes the unedited frame.
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());
    QVERIFY(!frame->isVisible());
    QVERIFY(panel0->text().isEmpty());
    QVERIFY(panel1->text().isEmpty());
    QVERIFY(grid->focusPolicy() != Qt::NoFocus);
    QVERIFY(window.directoryTree()->focusPolicy() != Qt::NoFocus);
    QCOMPARE(QApplication::focusWidget(), grid);

    // A double-click (or Enter) on the second photo opens that one.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Return);
    QVERIFY(frame->isVisible());
    QCOMPARE(panel0->text(), grid->photos().at(1)->path());
    QVERIFY(frame->requestClose());
}

void MainWindowTest::splashStaysUpForItsMinimumTime()
{
    TfrmSplash splash;
    QElapsedTimer timer;
    timer.start();
    splash.open(1);
    QVERIFY(splash.isVisible());
    QCOMPARE(splash.size(), QSize(500, 373));
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
    splash.closeSplash();
    QVERIFY(timer.elapsed() >= 1000);
    QVERIFY(!splash.isVisible());
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

// QObject::receivers is protected; this reads it for a test.
struct ReceiverCount : QObject
{
    static int of(const QObject* object, const char* signal)
    {
        return static_cast<const ReceiverCount*>(object)->receivers(signal);
    }
};

void MainWindowTest::eachCommandButtonRunsItsCommandOnce()
{
    TfrmMain window;
    const auto buttons = window.findChildren<QToolButton*>();
    QVERIFY(!buttons.isEmpty());
    for (const QToolButton* button : buttons) {
        if (!button->objectName().startsWith(QLatin1String("btn")))
            continue;
        QVERIFY2(ReceiverCount::of(button, SIGNAL(clicked(bool))) <= 1,
                 qPrintable(button->objectName()));
    }
}

void MainWindowTest::theGridPaintsInTheGridColour()
{
    TfrmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    TVelkoImageScroller* grid = window.imageScroller();
    const QImage painted = grid->grab().toImage();
    QCOMPARE(painted.pixelColor(2, 2), QColor(232, 232, 232));
    QCOMPARE(painted.pixelColor(painted.width() - 30, painted.height() - 3), QColor(232, 232, 232));
}

void MainWindowTest::viewAndSlideshowShowTheSelectedPhotos_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("View") << "btnView";
    QTest::newRow("View link") << "cptView";
    QTest::newRow("Slideshow") << "btnSlideshow";
    QTest::newRow("Slideshow link") << "cptSlideShow";
}

void MainWindowTest::viewAndSlideshowShowTheSelectedPhotos()
{
    QFETCH(QString, command);
    const bool slideshow = command.contains(QLatin1String("Slide"));
    imaging::Bitmap bitmap;
    QCOMPARE(bitmap.allocate(64, 48), imaging::Success);
    std::fill(bitmap.bits(), bitmap.bits() + bitmap.byteCount(), std::uint8_t(120));
    QByteArray jpeg;
    QCOMPARE(imaging::saveJpeg(bitmap, 90, jpeg), imaging::Success);
    for (const char* name : {"home/a.jpg", "home/b.jpg", "home/c.jpg"})
        mNamespace->writeFile(name, jpeg);

    TfrmMain window;
    window.setGeometry(100, 80, 1000, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    TVelkoImageScroller* grid = window.imageScroller();
    QVERIFY(pumpUntil([&] { return grid->photos().count() == 3; }));
    grid->photos().at(0)->setSelected(true);
    grid->photos().at(2)->setSelected(true);
    const QStringList selected = {grid->photos().at(0)->path(), grid->photos().at(2)->path()};

    QPointer<TfrmViewer> seen;
    QList<int> shown;
    // What the modal viewer shows; it is closed whatever the outcome.
    const auto checkViewer = [&] {
        QCOMPARE(seen->photoFiles(), selected);
        QCOMPARE(seen->windowTitle(),
                 QStringLiteral("Velko Fotodesk - ") + GetText(slideshow ? 108 : 107));
        if (slideshow) {
            QCOMPARE(seen->mode(), TfrmViewer::Mode::Slideshow);
            QVERIFY(seen->isFullScreen());
            QVERIFY(seen->windowFlags().testFlag(Qt::FramelessWindowHint));
            QVERIFY(seen->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            QCOMPARE(seen->slideInterval(), 5000);
            QVERIFY2(seen->findChild<ScreenSaverInhibitor*>(), "the screen is kept awake");
        } else {
            QCOMPARE(seen->mode(), TfrmViewer::Mode::View);
            const QRect frame = window.frameGeometry();
            QCOMPARE(seen->pos(), frame.topLeft() + QPoint(int(0.04 * frame.width()),
                                                           int(0.04 * frame.height())));
            QCOMPARE(seen->size(), QSize(int(0.92 * frame.width()), int(0.92 * frame.height())));
        }
    };
    QTimer::singleShot(0, [&] {
        seen = qobject_cast<TfrmViewer*>(QApplication::activeModalWidget());
        if (!seen)
            return;
        connect(seen, &TfrmViewer::pictureShown, seen, [&](int index) { shown << index; });
        pumpUntil([&] { return !shown.isEmpty(); });
        checkViewer();
        seen->reject();
    });
    QWidget* trigger = child<QWidget>(window, command.toLatin1().constData());
    if (auto* button = qobject_cast<QAbstractButton*>(trigger))
        button->click();
    else
        QTest::mouseClick(trigger, Qt::LeftButton);
    QCOMPARE(shown, QList<int>{0});
    QVERIFY2(seen.isNull(), "the viewer is destroyed once closed");
    QVERIFY2(!window.findChild<ScreenSaverInhibitor*>(), "the screen may sleep again");
}

void MainWindowTest::createViewerOpensTheExportWizardOnItsFirstPage()
{
    imaging::Bitmap bitmap;
    QCOMPARE(bitmap.allocate(32, 24), imaging::Success);
    QByteArray jpeg;
    QCOMPARE(imaging::saveJpeg(bitmap, 90, jpeg), imaging::Success);
    for (const char* name : {"home/a.jpg", "home/b.jpg", "home/c.jpg"})
        mNamespace->writeFile(name, jpeg);

    TfrmMain window;
    window.resize(900, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    TfrmCreateAlbumEXE* wizard = window.createLongLivedWindows().frmCreateAlbumEXE;
    TVelkoImageScroller* grid = window.imageScroller();
    QVERIFY(pumpUntil([&] { return grid->photos().count() == 3; }));
    grid->photos().at(1)->setSelected(true);
    grid->photos().at(2)->setSelected(true);
    const QStringList selected = {grid->photos().at(1)->path(), grid->photos().at(2)->path()};
    // Left on a later page by an earlier export, it opens on the first again.
    wizard->setActivePageIndex(2);

    bool modal = false;
    int page = -1;
    onModal<TfrmCreateAlbumEXE>([&](TfrmCreateAlbumEXE* shown) {
        modal = shown == wizard && shown->isModal();
        page = shown->ActivePageIndex();
        shown->reject();
    });
    child<QToolButton>(window, "btnCreateViewFile")->click();
    QVERIFY(modal);
    QCOMPARE(page, 0);
    QCOMPARE(wizard->photoFiles(), selected);
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"

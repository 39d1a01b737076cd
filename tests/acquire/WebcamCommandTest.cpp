// The main window's webcam command: shown only while a camera is plugged in, with Help moving
// into its place, and opening the snapshot window on the selected folder (from the logo too)
// unless that folder has no disk path.
#include "EventLoopWait.h"
#include "ShellNamespace.h"
#include "ShellTestNamespace.h"
#include "TFolder.h"
#include "TVelkoDirectoryTreeview.h"
#include "TWIAWebcam.h"
#include "TestApplication.h"
#include "TestCameraDevices.h"
#include "TfrmMain.h"
#include "TfrmWIA.h"
#include "uLanguage.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

// One main window for all the cases: making and ending one takes seconds.
class MainWindowEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        testsupport::ensureApplication();
        namespaceFolder = std::make_unique<ShellTestNamespace>();
        namespaceFolder->makeFolder("home/Pictures");
        namespaceFolder->makeFolder("etc/Velkorp");
        qputenv("XDG_CONFIG_DIRS", namespaceFolder->path("etc"));
        qputenv("XDG_CONFIG_HOME", namespaceFolder->path("config"));
        LoadLanguage();
        window = std::make_unique<TfrmMain>();
        window->resize(900, 600);
        window->show();
        window->createLongLivedWindows();
    }
    void TearDown() override
    {
        window.reset();
        namespaceFolder.reset();
    }

    static inline std::unique_ptr<ShellTestNamespace> namespaceFolder;
    static inline std::unique_ptr<TfrmMain> window;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new MainWindowEnvironment);

class WebcamCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mWindow = MainWindowEnvironment::window.get();
        mNamespace = MainWindowEnvironment::namespaceFolder.get();
        mDevices = qobject_cast<TestCameraDevices*>(mWindow->webcamList()->devices());
        ASSERT_NE(mDevices, nullptr) << "run with VELKO_TEST_CAMERA=0";
        mDevices->setCameraCount(0);
        mWindow->directoryTree()->SelectMyDocuments();
    }

    template <class T> T* child(const char* name) const
    {
        return mWindow->findChild<T*>(QLatin1String(name));
    }
    static void clickOn(QWidget* widget)
    {
        const QPointF local = QRectF(widget->rect()).center();
        const QPointF global = widget->mapToGlobal(local);
        QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }

    const ShellTestNamespace* mNamespace = nullptr;
    TfrmMain* mWindow = nullptr;
    TestCameraDevices* mDevices = nullptr;
};

TEST_F(WebcamCommand, ShownWhileACameraIsPluggedInWithHelpBelowIt)
{
    auto* snapshot = child<QToolButton>("btnSnapshot");
    auto* help = child<QToolButton>("btnHelp");
    auto* helpLabel = child<QLabel>("cptHelp");
    EXPECT_FALSE(snapshot->isVisible());
    EXPECT_FALSE(child<QLabel>("cptSnapshot")->isVisible());
    EXPECT_EQ(help->y(), 227);

    mDevices->setCameraCount(1);
    EXPECT_TRUE(snapshot->isVisible());
    EXPECT_TRUE(child<QLabel>("cptSnapshot")->isVisible());
    EXPECT_EQ(snapshot->y(), 227);
    EXPECT_EQ(help->y(), 261);
    EXPECT_EQ(helpLabel->geometry().center().y(), help->geometry().center().y());

    mDevices->setCameraCount(0);
    EXPECT_FALSE(snapshot->isVisible());
    EXPECT_EQ(help->y(), 227);
}

class WebcamCommandControl : public WebcamCommand, public ::testing::WithParamInterface<const char*>
{};

TEST_P(WebcamCommandControl, OpensTheSnapshotWindowOnTheSelectedFolder)
{
    mDevices->setCameraCount(1);
    TfrmWIA* wizard = mWindow->longLivedWindows().frmWIA;
    bool shown = false;
    QString folder;
    int page = -1;
    QTimer::singleShot(0, [&] {
        shown = QApplication::activeModalWidget() == wizard;
        folder = wizard->targetFolder();
        page = wizard->ActivePageIndex();
        wizard->reject();
    });
    clickOn(child<QWidget>(GetParam()));
    EXPECT_TRUE(shown);
    EXPECT_EQ(folder, QFile::decodeName(mNamespace->home()));
    EXPECT_EQ(page, 0);
}

INSTANTIATE_TEST_SUITE_P(Controls, WebcamCommandControl,
                         ::testing::Values("btnSnapshot", "cptSnapshot", "imVelkoLogo", "pnLogo"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(WebcamCommand, AFolderWithoutADiskPathIsRefused)
{
    mDevices->setCameraCount(1);
    TfrmWIA* wizard = mWindow->longLivedWindows().frmWIA;
    TVelkoDirectoryTreeview* tree = mWindow->directoryTree();
    QTreeWidgetItem* root = tree->RootNode();
    ASSERT_NE(root, nullptr);
    const ShellItemIdList myComputer = ShellNamespace::instance().myComputer();
    QTreeWidgetItem* virtualFolder = nullptr;
    for (int i = 0; i < root->childCount(); ++i) {
        const TFolder* folder = TVelkoDirectoryTreeview::folderOf(root->child(i));
        if (folder && sameFolderId(folder->id(), myComputer))
            virtualFolder = root->child(i);
    }
    ASSERT_NE(virtualFolder, nullptr);
    tree->setCurrentItem(virtualFolder);

    QString said;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            said = box->objectName();
            box->accept();
        }
    });
    child<QToolButton>("btnSnapshot")->click();
    EXPECT_EQ(said, QStringLiteral("NotADiskFolder"));
    EXPECT_FALSE(wizard->isVisible());
}

} // namespace

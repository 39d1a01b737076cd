// The Get Photos wizard offscreen on real JPEG files from a camera card: its pages, the copy
// with its questions, and the two question dialogs.
#include "TfrmGetPhotos.h"

#include "CopyFileReadOnlySafe.h"
#include "CopyMessages.h"
#include "CopyQuestionDialog.h"
#include "EventLoopWait.h"
#include "GradientPictures.h"
#include "ShellTestNamespace.h"
#include "TVelkoDirectoryTreeview.h"
#include "TVelkoImageScroller.h"
#include "TestApplication.h"
#include "uLanguage.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <functional>

namespace {

template <class T> T* child(const QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        ADD_FAILURE() << "no child " << name;
    return found;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers the copy worker's questions from a script, from inside the question's own event
// loop; a step may first try to get rid of the dialog with Escape and the close box.
class QuestionAnswerer
{
public:
    struct Step
    {
        const char* dialog;
        int button;
        bool tryToEscape = false;
        std::function<void()> first = {}; // runs while the question is open
    };

    explicit QuestionAnswerer(std::deque<Step> script) : mScript(std::move(script))
    {
        QObject::connect(&mTimer, &QTimer::timeout, [this] { answer(); });
        mTimer.start(10);
    }

    QStringList asked;
    int survivedEscape = 0;
    bool done() const { return mScript.empty(); }

private:
    void answer()
    {
        auto* dialog = qobject_cast<CopyQuestionDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || mScript.empty())
            return;
        const Step step = mScript.front();
        mScript.pop_front();
        asked << dialog->objectName() + QLatin1Char(':') + dialog->message()->text();
        EXPECT_EQ(dialog->objectName(), QLatin1String(step.dialog));
        if (step.first)
            step.first();
        if (step.tryToEscape) {
            QTest::keyClick(dialog, Qt::Key_Escape);
            dialog->close();
            if (dialog->isVisible())
                ++survivedEscape;
        }
        dialog->buttons().at(std::size_t(step.button))->click();
    }

    std::deque<Step> mScript;
    QTimer mTimer;
};

class GetPhotosWizardTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { testsupport::ensureApplication(); }

    void SetUp() override
    {
        ASSERT_TRUE(mNamespace.isValid());
        mNamespace.makeFolder("media/CARD");
        mNamespace.writeMountTable(
            ShellTestNamespace::baseMounts() +
            ShellTestNamespace::mountLine(20, mNamespace.media() + "/CARD", "vfat", "/dev/sdb1"));
        mNamespace.apply();
        int width = 160;
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
            mNamespace.writeFile("media/CARD/" + QByteArray(name),
                                 testsupport::jpegBytes(width += 8, 120));
    }

    QString card(const char* name) const
    {
        return QFile::decodeName(mNamespace.media() + "/CARD/" + name);
    }
    QString home(const QString& relative) const
    {
        return QFile::decodeName(mNamespace.home()) + QLatin1Char('/') + relative;
    }

    // Shows the wizard on the card and waits until the card's photos are read and selected.
    void showOnCard(TfrmGetPhotos& wizard, bool driveMode)
    {
        ASSERT_TRUE(wizard.sourceTree()->ShowDrive(mNamespace.media() + "/CARD"));
        wizard.setDriveMode(driveMode);
        wizard.setActivePageIndex(0);
        // Shown but never painted: Qt's raster engine paints large areas on a thread pool of
        // its own, whose hand-overs ThreadSanitizer cannot see.
        wizard.setUpdatesEnabled(false);
        wizard.show();
        TVelkoImageScroller* grid = wizard.imageScroller();
        ASSERT_TRUE(pumpUntil([grid] {
            return !grid->loading() && grid->photos().count() == 3 &&
                   grid->GetSelectedPhotos().count() == 3;
        }));
    }

    ShellTestNamespace mNamespace;
};

TEST_F(GetPhotosWizardTest, CopiesTheCardIntoANewNumberedFolderThenAsksAboutExistingFiles)
{
    TfrmGetPhotos wizard;

    // Drive mode: introduction, sub-folder checked and proposed, its name focused.
    showOnCard(wizard, true);
    EXPECT_TRUE(child<QWidget>(wizard, "pnIntro")->isVisible());
    child<QPushButton>(wizard, "btnNext1")->click();
    ASSERT_EQ(wizard.ActivePageIndex(), 1);
    auto* subFolder = child<QCheckBox>(wizard, "chkSubFolder");
    auto* name = child<QLineEdit>(wizard, "edSubFolderName");
    EXPECT_TRUE(subFolder->isChecked());
    EXPECT_EQ(name->text(), QStringLiteral("Photos 1"));
    EXPECT_EQ(wizard.focusWidget(), name);

    child<QPushButton>(wizard, "btnNext2")->click();
    ASSERT_EQ(wizard.ActivePageIndex(), 2);
    auto* result = child<QWidget>(wizard, "pnResult");
    ASSERT_TRUE(pumpUntil([result] { return result->isVisible(); }));
    EXPECT_TRUE(child<QLabel>(wizard, "lblCompleted")->isVisible());
    EXPECT_FALSE(child<QLabel>(wizard, "lblCanceled")->isVisible());
    EXPECT_EQ(child<QLabel>(wizard, "lblNrCopied2")->text(), QStringLiteral("3"));
    for (const char* file : {"a.jpg", "b.jpg", "c.jpg"})
        EXPECT_EQ(contentOf(home(QStringLiteral("Photos 1/")) + QLatin1String(file)),
                  contentOf(card(file)))
            << file;

    child<QPushButton>(wizard, "btnClose")->click();
    EXPECT_FALSE(wizard.isVisible());
    EXPECT_FALSE(wizard.hasCopyThread());

    // Normal mode into My Documents itself, where a and b exist and c is a folder.
    for (const char* file : {"a.jpg", "b.jpg"}) {
        QFile old(home(QLatin1String(file)));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    ASSERT_TRUE(QDir().mkpath(home(QStringLiteral("c.jpg"))));
    showOnCard(wizard, false);
    EXPECT_FALSE(child<QWidget>(wizard, "pnIntro")->isVisible());
    EXPECT_FALSE(subFolder->isChecked());
    EXPECT_FALSE(name->isEnabled());
    child<QPushButton>(wizard, "btnNext1")->click();
    EXPECT_EQ(name->text(), QStringLiteral("Photos 2")); // proposed afresh
    EXPECT_EQ(wizard.focusWidget(), child<QPushButton>(wizard, "btnNext2"));

    QuestionAnswerer answerer({{"ReplaceFileDialog", 2},                  // a.jpg: No
                               {"ReplaceFileDialog", 1},                  // b.jpg: Yes to all
                               {"CopyErrorDialog", 1, /*escape*/ true}}); // c.jpg: Skip
    child<QPushButton>(wizard, "btnNext2")->click();
    ASSERT_TRUE(pumpUntil([result] { return result->isVisible(); }));
    EXPECT_TRUE(answerer.done()) << answerer.asked.join(QLatin1Char('|')).toStdString();
    ASSERT_EQ(answerer.asked.size(), 3);
    EXPECT_TRUE(answerer.asked.at(0).contains(QStringLiteral("'a.jpg'")));
    EXPECT_TRUE(answerer.asked.at(2).contains(QStringLiteral("'c.jpg'.\n"))) // and a reason
        << answerer.asked.at(2).toStdString();
    EXPECT_EQ(answerer.survivedEscape, 1);
    EXPECT_EQ(contentOf(home(QStringLiteral("a.jpg"))), QByteArray("old"));
    EXPECT_EQ(contentOf(home(QStringLiteral("b.jpg"))), contentOf(card("b.jpg")));
    EXPECT_TRUE(QFileInfo(home(QStringLiteral("c.jpg"))).isDir());
    EXPECT_EQ(child<QLabel>(wizard, "lblNrCopied2")->text(), QStringLiteral("1"));
    wizard.close();
}

TEST_F(GetPhotosWizardTest, CancelInAQuestionEndsTheRunAsCancelled)
{
    TfrmGetPhotos wizard;
    QFile old(home(QStringLiteral("a.jpg")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.close();
    showOnCard(wizard, false);
    child<QPushButton>(wizard, "btnNext1")->click();
    QuestionAnswerer answerer({{"ReplaceFileDialog", 3}});
    child<QPushButton>(wizard, "btnNext2")->click();
    auto* result = child<QWidget>(wizard, "pnResult");
    ASSERT_TRUE(pumpUntil([result] { return result->isVisible(); }));
    EXPECT_TRUE(child<QLabel>(wizard, "lblCanceled")->isVisible());
    EXPECT_FALSE(child<QLabel>(wizard, "lblCompleted")->isVisible());
    EXPECT_EQ(child<QLabel>(wizard, "lblNrCopied2")->text(), QStringLiteral("0"));
    EXPECT_FALSE(QFileInfo::exists(home(QStringLiteral("b.jpg"))));
    wizard.close();
}

TEST_F(GetPhotosWizardTest, ClosingUnderAnOpenQuestionStopsTheRunQuietly)
{
    TfrmGetPhotos wizard;
    QFile old(home(QStringLiteral("a.jpg")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.close();
    showOnCard(wizard, false);
    child<QPushButton>(wizard, "btnNext1")->click();
    QuestionAnswerer answerer({{"ReplaceFileDialog", 0, false, [&wizard] { wizard.reject(); }}});
    child<QPushButton>(wizard, "btnNext2")->click();
    ASSERT_TRUE(pumpUntil([&] { return answerer.done() && !wizard.isVisible(); }));
    pumpFor(50ms); // the ended worker is deleted once its question is over
    EXPECT_FALSE(wizard.hasCopyThread());
    EXPECT_FALSE(child<QWidget>(wizard, "pnResult")->isVisibleTo(&wizard));
    EXPECT_FALSE(QFileInfo::exists(home(QStringLiteral("c.jpg"))));
}

class CopyQuestionDialogTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { testsupport::ensureApplication(); }

    // What exec() gives for each button, in the buttons' order.
    static std::vector<int>
    results(const std::function<std::unique_ptr<CopyQuestionDialog>()>& make)
    {
        std::vector<int> answers;
        for (std::size_t i = 0;; ++i) {
            const auto dialog = make();
            if (i == dialog->buttons().size())
                return answers;
            QTimer::singleShot(0, dialog.get(), [&dialog, i] { dialog->buttons().at(i)->click(); });
            answers.push_back(dialog->exec());
        }
    }
};

TEST_F(CopyQuestionDialogTest, ButtonsGiveTheWorkersAnswers)
{
    const CopyFileFailure none;
    EXPECT_EQ(results([&] { return CopyQuestionDialog::copyError(QStringLiteral("x.jpg"), none); }),
              (std::vector<int>{kCopyRetry, kCopySkip, kCopyCancel}));
    EXPECT_EQ(results([] { return CopyQuestionDialog::replaceFile(QStringLiteral("x.jpg")); }),
              (std::vector<int>{kCopyReplace, kCopyReplaceAll, kCopyKeep, kCopyCancel}));
}

TEST_F(CopyQuestionDialogTest, ShowsTheReasonBelowTheQuestionAndGrowsToFitIt)
{
    const auto plain = CopyQuestionDialog::copyError(QStringLiteral("x.jpg"), CopyFileFailure());
    EXPECT_EQ(plain->message()->text(), GetText(219) + QStringLiteral(" 'x.jpg'."));
    EXPECT_EQ(plain->size(), QSize(275, 112));
    EXPECT_EQ(CopyQuestionDialog::replaceFile(QStringLiteral("x.jpg"))->size(), QSize(381, 128));

    const CopyFileFailure full{CopyFileError::DiskFull, ENOSPC,
                               QStringLiteral("No space left on device, and a longer reason "
                                              "that takes a second and a third line")};
    const auto withReason = CopyQuestionDialog::copyError(QStringLiteral("x.jpg"), full);
    EXPECT_EQ(withReason->message()->text(),
              GetText(219) + QStringLiteral(" 'x.jpg'.\n") + full.text);
    EXPECT_GT(withReason->height(), 112);
    const QWidget* lastButton = withReason->buttons().back();
    EXPECT_GE(lastButton->y(), withReason->message()->geometry().bottom());

    const CopyFileFailure mismatch{CopyFileError::VerifyMismatch, 0, QStringLiteral("xxh3")};
    EXPECT_TRUE(CopyQuestionDialog::copyError(QStringLiteral("x.jpg"), mismatch)
                    ->message()
                    ->text()
                    .endsWith(QLatin1Char('\n') + GetText(229)));
}

TEST_F(CopyQuestionDialogTest, EscapeAndTheCloseBoxAreRefused)
{
    const auto dialog = CopyQuestionDialog::replaceFile(QStringLiteral("x.jpg"));
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    int answer = -1;
    QTimer::singleShot(0, dialog.get(), [&] {
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        dialog->close();
        EXPECT_TRUE(dialog->isVisible());
        dialog->buttons().at(2)->click();
    });
    answer = dialog->exec();
    EXPECT_EQ(answer, kCopyKeep);
}

} // namespace

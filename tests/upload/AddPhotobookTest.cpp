#include "ModalAnswer.h"
#include "TestApplication.h"
#include "TfrmAddPhotobook.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class AddPhotobook : public testing::Test
{
protected:
    void SetUp() override { testsupport::ensureApplication(); }

    // Types the name and presses OK; true when the dialog accepted it without a refusal.
    static bool enter(TfrmAddPhotobook& dialog, const QString& name)
    {
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("edName"));
        edit->clear();
        QTest::keyClicks(edit, name);
        // A refusal would wait for an answer: this one gives it, for as long as it lives.
        bool refused = false;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                refused = true;
                box->accept();
            }
        });
        answer.start(10);
        dialog.show();
        dialog.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
        return !refused && dialog.result() == QDialog::Accepted && !dialog.isVisible();
    }
};

TEST_F(AddPhotobook, RefusesABadCharacterAndKeepsTheNameForCorrection)
{
    TfrmAddPhotobook dialog;
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("edName"));
    bool refused = false;
    bool stayedOpen = false;
    // The refusal leaves the dialog open with the focus on the name: then cancel it.
    onModal<QMessageBox>([&](QMessageBox* box) {
        refused = true;
        box->accept();
        QTimer::singleShot(0, &dialog, [&] {
            stayedOpen =
                dialog.isVisible() && dialog.focusWidget() == edit && edit->selectedText() == u"/";
            dialog.reject();
        });
    });
    QTest::keyClicks(edit, QStringLiteral("  Trip/2024"));
    QMetaObject::invokeMethod(
        &dialog, [&] { dialog.findChild<QPushButton*>(QStringLiteral("btnOK"))->click(); },
        Qt::QueuedConnection);
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(refused);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(dialog.name(), QStringLiteral("  Trip/2024"));
}

TEST_F(AddPhotobook, AcceptsAGoodOrEmptyNameAndCutsAtAHundredCharacters)
{
    TfrmAddPhotobook dialog;
    EXPECT_TRUE(enter(dialog, QStringLiteral(" Summer_2024 - beach ")));
    EXPECT_TRUE(enter(dialog, QString()));
    EXPECT_TRUE(enter(dialog, QString(120, QLatin1Char('a'))));
    EXPECT_EQ(dialog.name().size(), 100);
}

} // namespace

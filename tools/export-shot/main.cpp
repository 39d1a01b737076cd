// Drives the export wizard as a user would and saves a picture of each of its pages: the kind,
// the file information, the progress and the result of exporting a screensaver.
// usage: velko-export-shot OUTPUT_FOLDER
// The language is the machine setting's (XDG_CONFIG_DIRS), as in the program.
#include "ShotSupport.h"
#include "TfrmCreateAlbumEXE.h"
#include "uLanguage.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <stdexcept>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    LoadLanguage(); // from the machine settings, as the program does
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: velko-export-shot OUTPUT_FOLDER\n");
        return 1;
    }
    shot::setOutputFolder(app.arguments()[1]);
    try {
        QTemporaryDir work;
        TfrmCreateAlbumEXE wizard;
        wizard.SetPhotoFiles(shot::writePhotos(work.path(), 4, 2400));
        wizard.setActivePageIndex(0);
        wizard.show();
        shot::child<QRadioButton>(wizard, "rbScreenSaver")->setChecked(true);
        shot::saveSettled(wizard, "export-kind");

        shot::child<QPushButton>(wizard, "btnNext")->click();
        shot::child<QLineEdit>(wizard, "edTitle")->setText(QStringLiteral("Summer in the Alps"));
        shot::child<QLineEdit>(wizard, "edCompany")->setText(QStringLiteral("Anna Berger"));
        shot::child<QPlainTextEdit>(wizard, "mmComments")
            ->setPlainText(QStringLiteral("Four days of walking above the lakes."));
        auto* resolutions = shot::child<QComboBox>(wizard, "cmbOptimizeRes");
        resolutions->setCurrentIndex(resolutions->findText(QStringLiteral("1280 x 1024")));
        shot::saveSettled(wizard, "export-information");

        const QString target = QDir(work.path()).filePath(QStringLiteral("Summer in the Alps"));
        QTimer::singleShot(100, [target] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(target);
            static_cast<QDialog*>(dialog)->accept();
        });
        shot::child<QPushButton>(wizard, "btnCreate")->click();
        auto* progress = shot::child<QProgressBar>(wizard, "ProgressBar1");
        if (shot::waitUntil([&] { return progress->value() >= 2 || !wizard.isBusy(); }, 60000) &&
            wizard.isBusy())
            shot::saveSettled(wizard, "export-progress");
        if (!shot::waitUntil(
                [&] {
                    return shot::child<QWidget>(wizard, "pnResult")->isVisible() &&
                           !wizard.isBusy();
                },
                60000))
            throw std::runtime_error("the export did not end");
        shot::saveSettled(wizard, "export-result");
        wizard.accept();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velko-export-shot: %s\n", error.what());
        return 1;
    }
    return 0;
}

// Drives the export wizard as a user would and saves a picture of each of its pages: the kind,
// the file information, the progress and the result of exporting a screensaver.
// usage: velko-export-shot OUTPUT_FOLDER
// The language is the machine setting's (XDG_CONFIG_DIRS), as in the program.
#include "TfrmCreateAlbumEXE.h"
#include "uLanguage.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadialGradient>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <stdexcept>

namespace {

QString gOutput;

void save(QWidget& window, const char* name)
{
    QCoreApplication::processEvents();
    const QString file = QDir(gOutput).filePath(QLatin1String(name) + QStringLiteral(".png"));
    if (!window.grab().save(file))
        throw std::runtime_error("cannot write " + file.toStdString());
    std::printf("%s\n", qPrintable(file));
}

template <class T> T* child(QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        throw std::runtime_error(std::string("no ") + name);
    return found;
}

bool waitUntil(const std::function<bool()>& condition, int ms = 60000)
{
    const QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QCoreApplication::processEvents();
    return true;
}

// Something like a landscape: sky, sun and hills, so that sizes behave like a photo's.
QStringList writePhotos(const QString& folder, int count)
{
    QStringList files;
    for (int i = 0; i < count; ++i) {
        QImage picture(2400, 1800, QImage::Format_RGB32);
        QPainter painter(&picture);
        QLinearGradient sky(0, 0, 0, 1800);
        sky.setColorAt(0, QColor(40 + 20 * i, 90, 200));
        sky.setColorAt(1, QColor(250, 200, 120));
        painter.fillRect(picture.rect(), sky);
        QRadialGradient sun(QPointF(500 + 250 * i, 500), 300);
        sun.setColorAt(0, Qt::white);
        sun.setColorAt(1, Qt::transparent);
        painter.fillRect(picture.rect(), sun);
        painter.setBrush(QColor(40, 110 + 10 * i, 50));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QRect(-600, 1200, 2300, 1400));
        painter.drawEllipse(QRect(1000, 1350, 2300, 1200));
        painter.end();
        const QString file = QDir(folder).filePath(QStringLiteral("IMG_%1.jpg").arg(4711 + i));
        if (!picture.save(file, "JPG", 90))
            throw std::runtime_error("cannot write a photo");
        files << file;
    }
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    LoadLanguage(); // from the machine settings, as the program does
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: velko-export-shot OUTPUT_FOLDER\n");
        return 1;
    }
    gOutput = app.arguments()[1];
    try {
        QTemporaryDir work;
        TfrmCreateAlbumEXE wizard;
        wizard.SetPhotoFiles(writePhotos(work.path(), 4));
        wizard.setActivePageIndex(0);
        wizard.show();
        child<QRadioButton>(wizard, "rbScreenSaver")->setChecked(true);
        save(wizard, "export-kind");

        child<QPushButton>(wizard, "btnNext")->click();
        child<QLineEdit>(wizard, "edTitle")->setText(QStringLiteral("Summer in the Alps"));
        child<QLineEdit>(wizard, "edCompany")->setText(QStringLiteral("Anna Berger"));
        child<QPlainTextEdit>(wizard, "mmComments")
            ->setPlainText(QStringLiteral("Four days of walking above the lakes."));
        auto* resolutions = child<QComboBox>(wizard, "cmbOptimizeRes");
        resolutions->setCurrentIndex(resolutions->findText(QStringLiteral("1280 x 1024")));
        save(wizard, "export-information");

        const QString target = QDir(work.path()).filePath(QStringLiteral("Summer in the Alps"));
        QTimer::singleShot(100, [target] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(target);
            static_cast<QDialog*>(dialog)->accept();
        });
        child<QPushButton>(wizard, "btnCreate")->click();
        auto* progress = child<QProgressBar>(wizard, "ProgressBar1");
        if (waitUntil([&] { return progress->value() >= 2 || !wizard.isBusy(); }) &&
            wizard.isBusy())
            save(wizard, "export-progress");
        if (!waitUntil([&] {
                return child<QWidget>(wizard, "pnResult")->isVisible() && !wizard.isBusy();
            }))
            throw std::runtime_error("the export did not end");
        save(wizard, "export-result");
        wizard.accept();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velko-export-shot: %s\n", error.what());
        return 1;
    }
    return 0;
}

#include "ShotSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cstdio>

namespace shot {

namespace {

QString& outputFolder()
{
    static QString folder;
    return folder;
}

} // namespace

void setOutputFolder(const QString& folder)
{
    outputFolder() = folder;
}

void save(QWidget& window, const char* name)
{
    const QString file =
        QDir(outputFolder()).filePath(QLatin1String(name) + QStringLiteral(".png"));
    if (!window.grab().save(file))
        throw std::runtime_error("cannot write " + file.toStdString());
    std::printf("%s\n", qPrintable(file));
}

void saveSettled(QWidget& window, const char* name)
{
    QCoreApplication::processEvents();
    save(window, name);
}

bool waitUntil(const std::function<bool()>& condition, int ms)
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

QStringList writePhotos(const QString& folder, int count, int width)
{
    const int height = width * 3 / 4;
    // Drawn on a 3200 x 2400 plan and scaled.
    const auto at = [width](int value) { return value * width / 3200; };
    QStringList files;
    for (int i = 0; i < count; ++i) {
        QImage picture(width, height, QImage::Format_RGB32);
        QPainter painter(&picture);
        QLinearGradient sky(0, 0, 0, height);
        sky.setColorAt(0, QColor(40 + 20 * i, 90, 200));
        sky.setColorAt(1, QColor(250, 200, 120));
        painter.fillRect(picture.rect(), sky);
        QRadialGradient sun(QPointF(at(600 + 300 * i), at(700)), at(400));
        sun.setColorAt(0, Qt::white);
        sun.setColorAt(1, Qt::transparent);
        painter.fillRect(picture.rect(), sun);
        painter.setBrush(QColor(40, 110 + 10 * i, 50));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QRect(at(-800), at(1600), at(3000), at(1800)));
        painter.drawEllipse(QRect(at(1400), at(1800), at(3000), at(1600)));
        painter.end();
        const QString file = QDir(folder).filePath(QStringLiteral("IMG_%1.jpg").arg(4711 + i));
        if (!picture.save(file, "JPG", 90))
            throw std::runtime_error("cannot write a photo");
        files << file;
    }
    return files;
}

} // namespace shot

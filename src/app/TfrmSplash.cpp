#include "TfrmSplash.h"

#include "AppResources.h"
#include "WaitCursor.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QThread>

namespace {
constexpr QSize kSplashSize(500, 373);
}

TfrmSplash::TfrmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    initAppResources();
    mPicture.load(QStringLiteral(":/artwork/splash.png"));
    setFixedSize(kSplashSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TfrmSplash::~TfrmSplash() = default;

void TfrmSplash::open(int minimumSeconds)
{
    mMinimumMs = minimumSeconds * 1000;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    mShown.start();
    show();
    repaint();
    mStartingCursor = std::make_unique<WaitCursor>(Qt::BusyCursor);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmSplash::closeSplash()
{
    // Events go on being processed so that the picture stays painted; user input waits.
    while (mShown.isValid() && mShown.elapsed() < mMinimumMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        QThread::msleep(10);
    }
    hide();
    mStartingCursor.reset();
}

void TfrmSplash::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!mPicture.isNull())
        painter.drawPixmap(rect(), mPicture);
}

#include "AppMessageFilter.h"

AppMessageFilter::AppMessageFilter(Handler handler, QObject* parent)
    : QObject(parent), mHandler(std::move(handler))
{}

bool AppMessageFilter::eventFilter(QObject* watched, QEvent* event)
{
    return mHandler(watched, event) || QObject::eventFilter(watched, event);
}

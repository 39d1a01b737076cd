// Answering a modal window in a widget test: the action runs once the window is open.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs the action on the first modal window of type T once it is open.
template <class T> void onModal(std::function<void(T*)> action)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (T* modal = qobject_cast<T*>(QApplication::activeModalWidget());
            modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start(10);
}

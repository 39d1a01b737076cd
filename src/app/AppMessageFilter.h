// Stands for the application-wide message hook (Application.OnMessage).
#pragma once

#include <QObject>

#include <functional>

// Sees every event of every object of the program before it is delivered and hands it to
// a handler, which returns true when it has handled the event.
class AppMessageFilter : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<bool(QObject* target, QEvent* event)>;
    explicit AppMessageFilter(Handler handler, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Handler mHandler;
};

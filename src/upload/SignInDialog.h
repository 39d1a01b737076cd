// Asks for a user name and password when a web server or a proxy wants them for a request.
#pragma once

#include <QDialog>

class QLineEdit;

class SignInDialog : public QDialog
{
    Q_OBJECT
public:
    // who: the server or proxy that asks, as the user knows it.
    explicit SignInDialog(const QString& who, QWidget* parent = nullptr);

    QString userName() const;
    QString password() const;

private:
    QLineEdit* mUserName = nullptr;
    QLineEdit* mPassword = nullptr;
};

// The scanner choice: which device to scan with, and the folder the pages are saved in.
#pragma once

#include "TfrmWizard.h"

#include <QString>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TfrmPics;

class TfrmTwain : public TfrmWizard
{
    Q_OBJECT
public:
    // The side picture comes from pics (the wizards' own artwork when none is given).
    explicit TfrmTwain(QWidget* parent = nullptr, const TfrmPics* pics = nullptr);

    // A device as the list shows it (caption) and as the session names it (deviceName).
    void addSource(const QString& caption, const QString& deviceName);
    void setDestination(const QString& folder);

    // The device selected in the list; empty when none is.
    QString selectedSource() const;

private:
    void FormCreate();

    QLabel* lblIntro = nullptr;
    QLabel* lblSelectSource = nullptr;
    QListWidget* lbxSources = nullptr;
    QLineEdit* edDestination = nullptr;
    QPushButton* btnSelect = nullptr;
    QPushButton* btnCancel = nullptr;
};

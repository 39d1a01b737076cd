// The Get photos source chooser: copy from a folder or scan from a device. Shown only when a
// scanner is available.
#pragma once

#include <QDialog>
#include <QRect>
#include <QSize>

#include <optional>

class QLabel;
class QPushButton;
class QRadioButton;

// Where the chooser's controls go in its client area; no widgets, so tested without a display.
struct SourceChooserGeometry
{
    QRect lblSelectSource;
    QRect rbFolder;
    QRect rbTwain;
    QRect btnOk;
};

inline constexpr QSize kSourceChooserSize(280, 160);

SourceChooserGeometry sourceChooserGeometry(QSize client);

class SourceChooser : public QDialog
{
    Q_OBJECT
public:
    enum class Source
    {
        Folder,
        Twain,
    };

    explicit SourceChooser(QWidget* parent = nullptr);

    // The checked source; meaningful once the dialog closed with OK.
    Source source() const;

    // Shows the chooser modally; nothing when it was closed without OK.
    static std::optional<Source> ask(QWidget* parent);

private:
    QLabel* lblSelectSource = nullptr;
    QRadioButton* rbFolder = nullptr;
    QRadioButton* rbTwain = nullptr;
    QPushButton* btnOk = nullptr;
};

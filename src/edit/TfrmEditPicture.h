// The picture-editing frame: takes over the main window's photo area while one photo is
// edited, with the picture on the left and the tools, Undo, Save and Close on the right.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QFileDialog;

class TfrmEditPicture : public QWidget
{
    Q_OBJECT
public:
    // Shows the prepared save dialog and returns the chosen name, empty for cancel. Tests put
    // their own in place of the modal dialog.
    using SaveNameChooser = std::function<QString(QFileDialog& dialog)>;

    explicit TfrmEditPicture(QWidget* parent = nullptr);
    ~TfrmEditPicture() override;

    // Loads the photo and shows the frame over the area it was given; false, with nothing
    // changed, when the photo cannot be loaded or shown. The picture is fitted to the frame's
    // current size, so the caller places the frame first.
    bool Open(const QString& fileName);
    bool isEditing() const;
    // The Close button's flow; false when the user kept the frame open.
    bool requestClose();
    // The Close button is enabled (no request is being processed).
    bool canClose() const;

    QString fileName() const;
    bool isModified() const;

    void setSaveNameChooser(SaveNameChooser chooser);

signals:
    // Panel 0: the photo's path; panel 1: its full size as "1600x1200". Empty clears.
    void statusText(int panel, const QString& text);
    // After hiding.
    void closed();
    // The engine finished a request and the buttons are enabled again.
    void actionEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Private;

    void buildLayout();
    void applyTexts();
    void ActionStart();
    void ActionEnd();
    void placeFrameLines();
    void setToolsEnabled(bool enabled);

    void btnCropClick();
    void btnRedEyeClick();
    void btnFineRotateClick();
    void btnColorClick();
    void btnResizeClick();
    void btnAutoColorClick();
    void btnUndoClick();
    // True when the picture was written.
    bool btnSaveClick();
    void showInformation(unsigned textId);

    std::unique_ptr<Private> d;
};

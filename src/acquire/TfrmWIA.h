// The webcam snapshot window: choose a camera, watch it live, freeze the picture, and accept
// it as the next numbered JPEG file of the main window's folder.
#pragma once

#include "TfrmWizard.h"

#include <memory>

class TWIAWebcamList;
class WebcamVideo;

class TfrmWIA : public TfrmWizard
{
    Q_OBJECT
public:
    // The list is the program's; without one the window offers no camera.
    explicit TfrmWIA(QWidget* parent = nullptr, TWIAWebcamList* webcams = nullptr);
    ~TfrmWIA() override;

    // The folder the snapshot is saved in, set before each showing.
    void setTargetFolder(const QString& folder);
    QString targetFolder() const;

    // The open camera, or null.
    WebcamVideo* video() const;
    // True while an accepted snapshot is being saved.
    bool isSaving() const;

    // Every way of closing ends here: the camera is released.
    void done(int result) override;

    // Waiting for the first frame of a camera that never sends one ends after this.
    static constexpr int kFirstFrameTimeoutMs = 10000;

protected:
    void ApplyTexts() override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void fillCameraList();
    void btnNextClick();
    void videoStarted();
    void videoFailed(const QString& reason);
    void btnTakePictureClick();
    void btnTakeOtherClick();
    void btnSaveClick();
    void saveFinished();
    void releaseVideo();
    void showTakePicture(bool take);

    struct Private;
    std::unique_ptr<Private> d;
};

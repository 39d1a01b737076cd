// The Get Photos wizard: the user picks photos in a source folder and a destination folder
// (optionally a new "Photos N" sub-folder inside it); a worker copies them with progress and
// asks through the window about existing files and failures.
#pragma once

#include "TfrmWizard.h"

#include <memory>

class TVelkoDirectoryTreeview;
class TVelkoImageScroller;
class TfrmPics;
struct WindowMessage;

class TfrmGetPhotos : public TfrmWizard
{
    Q_OBJECT
public:
    // The side picture comes from pics (TfrmPics' own artwork when none is given).
    explicit TfrmGetPhotos(QWidget* parent = nullptr, const TfrmPics* pics = nullptr);
    ~TfrmGetPhotos() override;

    // The main window roots these before showing the wizard.
    TVelkoDirectoryTreeview* sourceTree() const;
    TVelkoDirectoryTreeview* destinationTree() const;
    TVelkoImageScroller* imageScroller() const;

    // Started for a device (a card, a CD): the introduction is shown, the sub-folder option
    // checked, and its name gets the focus after the first page. Takes effect on showing.
    void setDriveMode(bool driveMode);
    bool driveMode() const;

    // True while a copy run's worker exists (from the start of the copy until the window
    // closes or the run is cancelled).
    bool hasCopyThread() const;

    // Every way of closing ends here: a running copy is stopped and the grid's thumbnails.
    void done(int result) override;

protected:
    void ApplyTexts() override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildSourcePage();
    void buildDestinationPage();
    void buildStatusPage();

    void FormShow();
    void tvSourceChange();
    void btnSelectAllClick();
    void btnDeselectAllClick();
    void chkSubFolderClick();
    void btnNext1Click();
    void btnNext2Click();
    void btnPrevClick();
    void btnCancelClick();

    bool startCopy(const QString& source, const QString& destination);
    qintptr handleCopyMessage(const WindowMessage& message);
    void showResult(bool completed);
    void stopCopyThread();

    struct Private;
    std::unique_ptr<Private> d;
};

// The export wizard: the selected photos become a stand-alone photo viewer, slideshow or
// screensaver program (a copy of the ready-made viewer with the photos appended), and a
// screensaver can then be made the active one or packed into an installer.
#pragma once

#include "TfrmWizard.h"

#include <QStringList>

#include <memory>

class TfrmPics;
struct WindowMessage;

class TfrmCreateAlbumEXE : public TfrmWizard
{
    Q_OBJECT
public:
    // The side picture comes from pics (TfrmPics' own artwork when none is given).
    explicit TfrmCreateAlbumEXE(QWidget* parent = nullptr, const TfrmPics* pics = nullptr);
    ~TfrmCreateAlbumEXE() override;

    // The photos to export, in the main window's order.
    void SetPhotoFiles(const QStringList& files);
    const QStringList& photoFiles() const;

    // What a caller or a test can watch: the file the user chose, and whether a file is being
    // prepared, exported or finished, or an installer or screensaver copy is being written.
    QString targetFileName() const;
    bool isBusy() const;

    // FormClose: every way of closing stops the export and drops the temporary file.
    void done(int result) override;

signals:
    // The result panel shows (done, failed or cancelled).
    void resultShown();
    // A finish option's file work has ended.
    void finishOptionDone();

protected:
    void ApplyTexts() override;
    void showEvent(QShowEvent* event) override;

private:
    void buildIntroPage();
    void buildGeneralPage();
    void buildStatusPage();

    void FormCreate();
    void FormShow();
    void btnNextClick();
    void btnPrevClick();
    void btnCreateClick();
    void btnCancelClick();
    void lblExOpenFolderClick();
    void lblExSSSetDefaultClick();
    void lblExSSCreateInstallerClick();

    QString askExportFileName();
    // The ready-made program's path, or empty after telling the user it is missing.
    QString readyMadeProgram(const QString& name);
    void prepared();
    qintptr exportWindowProc(const WindowMessage& message);
    void exportFailed(int serial, const QString& reason);
    void exportDone(int serial, int pictures);
    void finished();
    void showResult(const QString& text, bool success);
    void screensaverSet();
    void installerWritten();

    struct FileJob;
    void runFileJob(std::shared_ptr<FileJob> job, void (TfrmCreateAlbumEXE::*then)());
    qintptr fileJobWindowProc(const WindowMessage& message);
    void fileJobEnded(int serial);
    bool stopFileJob();
    void stopExport();
    void discardTemporaryFile();

    struct Private;
    std::unique_ptr<Private> d;
};

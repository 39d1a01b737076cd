// The web-album upload wizard: log in to the photo site, pick or create an album, pick a
// maximum photo size, then prepare the photos, check the account's free space and upload
// them one by one with progress and an estimate of the time left.
#pragma once

#include "TfrmWizard.h"

#include <QStringList>

#include <memory>

class QWidget;
class TfrmPics;
struct WindowMessage;

class TfrmUpload : public TfrmWizard
{
    Q_OBJECT
public:
    // The side picture comes from pics (TfrmPics' own artwork when none is given).
    explicit TfrmUpload(QWidget* parent = nullptr, const TfrmPics* pics = nullptr);
    ~TfrmUpload() override;

    // The photos to upload, in the main window's order.
    void SetPhotoFiles(const QStringList& files);

    // What a caller or a test can watch: the photos still in the run (a photo that cannot
    // be made is taken out while preparing), the object name of the panel shown on the
    // active page, and the bytes of all main images (0 until the preparing pass ends).
    QStringList photoFiles() const;
    QString shownPanel() const;
    qint64 totalBytes() const;
    // Whether anything runs: the proxy lookup, a request, the preparing pass or a worker.
    bool isBusy() const;

    // Closing while a login, an album, the preparing pass, the free-space check or the
    // upload is under way cancels that instead, and the window stays open.
    void done(int result) override;

signals:
    // After every change of panel (also when the page stays the same).
    void panelShown(const QString& panel);

protected:
    void ApplyTexts() override;
    void showEvent(QShowEvent* event) override;

private:
    void buildLoginPage();
    void buildAlbumPage();
    void buildFormatPage();
    void buildUploadPage();
    void connectHttp();
    void FormCreate();
    void FormShow();

    void ShowPanel(int page, QWidget* panel);
    bool panelShownOn(int page, const QWidget* panel) const;

    // Page 0
    void btnLoginClick();
    void proxyLookupDone();
    void sendLogin(bool throughProxy);
    void btnCancelLoginClick();
    void btnContinueClick();
    void loginAnswered(const QByteArray& response);
    void fillAlbums();
    void fillFormats();
    void lblRegisterClick();

    // Page 1
    void cmbAlbumChange(int index);
    void btnCreateAlbumClick();
    void btnCancelCreateAlbumClick();
    void btnNext1Click();
    void btnPrev1Click();
    void createAlbumAnswered(const QByteArray& response);
    void showAlbums();

    // Page 2
    void cmbFormatChange(int index);

    // Page 3
    void btnUploadClick();
    void btnPrevClick();
    void startPreparing();
    void photoPrepared(int index, bool made, qint64 bytes);
    void preparingDone();
    void checkFreeSpace();
    void freeSpaceAnswered(const QByteArray& response);
    void showNotEnoughSpace();
    void startUploadPass();
    void beginPhoto();
    void startResizeWorker(int mode, int width, int height);
    qintptr resizeWindowProc(const WindowMessage& message);
    void imageReady(int mode, const QByteArray& bytes, int width, int height, bool made);
    void mainImageReady(const QByteArray& bytes, int width, int height, bool made);
    void displayCopyReady(const QByteArray& bytes, bool made);
    void thumbnailReady(const QByteArray& bytes, bool made);
    void uploadAnswered(const QByteArray& response);
    void nextPhoto();
    void btnCancelPrepareClick();
    void btnCancelFreeSpaceClick();
    void btnCancelUploadClick();
    void lblEditAlbumClick();
    void cptErrorInfoClick();

    // The HTTP component's events.
    void VelkoHTTPUpload1Completed(const QByteArray& response);
    void VelkoHTTPUpload1Error(quint32 errCode, quint16 errType, quint16 debugVal,
                               const QString& errText);
    void VelkoHTTPUpload1Canceled();
    void VelkoHTTPUpload1BytesSent(quint32 bytesSent, quint32 totalBytes);

    void cancelRequest();
    // With an information address the error-information link shows and opens it.
    void showError(const QString& text, const QString& infoAddress = {});
    bool sendToSite(const QString& server, const char* page, const QByteArray& body);
    void stopPreparing();
    void stopResizeWorker();
    QString siteBaseUrl() const;
    void openLink(const QString& address);

    struct Private;
    std::unique_ptr<Private> d;
};

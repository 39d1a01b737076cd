// The print wizard: the printer and its settings, the layout, a preview of the pages in which
// the user chooses the part of photos cut to a fixed size, and the print run with progress.
#pragma once

#include "TPrintPhotoObject.h"
#include "TfrmWizard.h"

#include <memory>

class TfrmPics;
class TPrinterObject;
struct WindowMessage;

class TfrmPrint : public TfrmWizard
{
    Q_OBJECT
public:
    // The side picture comes from pics (TfrmPics' own artwork when none is given).
    explicit TfrmPrint(QWidget* parent = nullptr, const TfrmPics* pics = nullptr);
    ~TfrmPrint() override;

    // The photos of the next run, in grid order; the objects stay in the main window's cache.
    void setPhotos(TPrintPhotoObjectRefs photos);

    TPrinterObject* selectedPrinter() const;
    int pageCount() const;
    // The page the preview shows, -1 before the layout.
    int shownPage() const;
    bool hasPreviewThread() const;
    bool hasPrintThread() const;

    // Every way of closing ends here: the preview and a print run are stopped first.
    void done(int result) override;

signals:
    // The preview's worker took photo `index` of `page` and renders it now.
    void previewPhotoStarted(int page, int index);
    // That photo is on the sheet.
    void previewPhotoShown(int page, int index);

protected:
    void ApplyTexts() override;
    void showEvent(QShowEvent* event) override;

private:
    void buildFirstPage();
    void buildHowPrintPage();
    void buildPreviewPage();
    void buildStatusPage();

    void FormShow();
    void cmbPrinterChange();
    void btnPrinterSettingsClick();
    void RadioButtonClick();
    void btnNext0Click();
    void btnPrev0Click();
    void btnNext1Click();
    void btnPrev1Click();
    void btnPrintClick();
    void btnCancelClick();
    void udPageNoClick(int position);

    void showPage(int page);
    qintptr handlePreviewMessage(const WindowMessage& message);
    void showRenderedPhoto(int page, int index);
    qintptr handlePrintMessage(const WindowMessage& message);
    void showCompleted(int result);
    void stopPreviewThread();
    void stopPrintThread();
    QString askPdfFileName();

    struct Private;
    std::unique_ptr<Private> d;
};

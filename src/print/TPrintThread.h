// The print run's worker: asks the window for one photo after the other, draws each placed
// photo into a temporary PDF and, once the document is complete, hands it to the CUPS queue
// or renames it to the chosen file. Cancelled, it leaves nothing behind.
#pragma once

#include "PrintSettings.h"
#include "TPrintPage.h"
#include "WorkerThread.h"

#include <QString>

#include <atomic>

class QPainter;
class QPdfWriter;

// wParam page, lParam photo index. The window fills job() and answers the index; -1 when the
// index is past the page's last photo and another page follows; -2 when the page does not
// exist or the last page is done.
inline constexpr int WM_PRINT_NEXT_JOB = WM_USER + 3;
// wParam the result.
inline constexpr int WM_PRINT_RESULT = WM_USER + 4;

enum PrintResult : int
{
    PrintDone = 0,
    PrintError = 1,
    PrintCancelled = 2
};

inline constexpr qintptr kPrintNextPage = -1;
inline constexpr qintptr kPrintNoMore = -2;

// The photo the window hands over for each WM_PRINT_NEXT_JOB.
struct TPrintJob
{
    QString fileName;
    MicroRect slot;
    bool rotateAllowed = false;
    bool fill = false;
    bool enlarge = false;
    double cropPosition = 0.5;
};

// Where the finished document goes: a CUPS queue, or a PDF file (the "Print to file (PDF)"
// entry).
struct PrintTarget
{
    enum class Kind
    {
        Queue,
        PdfFile
    };
    Kind kind = Kind::PdfFile;
    // The queue's name, or the PDF's path.
    QString name;
    // The job's title in the queue.
    QString title;

    static PrintTarget queue(const QString& name, const QString& title = {})
    {
        return {Kind::Queue, name, title};
    }
    static PrintTarget pdfFile(const QString& path) { return {Kind::PdfFile, path, {}}; }
};

// The window's answer to WM_PRINT_NEXT_JOB over a page list: fills the job for (page, index)
// and returns index, kPrintNextPage or kPrintNoMore.
qintptr answerPrintJob(const TPrintPageList& pages, int page, int index, TPrintJob& job);

class TPrintThread final : public WorkerThread
{
public:
    // nPerPage: one, two or four per page, printed on a portrait page. preferRotation: the
    // printer is set to landscape with those layouts. The screen's pixels per inch stand in
    // for a photo's missing resolution (read them on the window's thread). start() begins
    // printing.
    TPrintThread(WindowMessenger::Handler handler, PrintSettings settings, PrintTarget target,
                 bool nPerPage, bool preferRotation, double screenPpiX = 96,
                 double screenPpiY = 96);
    ~TPrintThread() override;

    // Inside the handler of WM_PRINT_NEXT_JOB only, while the worker waits.
    TPrintJob& job() { return mJob; }
    // Photos done so far, also those that could not be rendered.
    int printedCount() const { return mPrinted.load(); }

    // After the end: the result, and for a queue the CUPS job that received the document.
    PrintResult result() const { return mResult; }
    int cupsJobId() const { return mCupsJobId; }
    const QString& errorText() const { return mErrorText; }

protected:
    void execute() override;

private:
    PrintResult run();
    void printPages(QPainter& painter, QPdfWriter& writer, int resolution);
    bool stopping();

    const PrintSettings mSettings;
    const PrintTarget mTarget;
    const bool mNPerPage;
    const bool mPreferRotation;
    const double mScreenPpiX;
    const double mScreenPpiY;
    TPrintJob mJob;
    std::atomic<int> mPrinted = 0;
    PrintResult mResult = PrintError;
    int mCupsJobId = 0;
    QString mErrorText;
};

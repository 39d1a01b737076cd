// Runs a TPrintThread over a page list the way the wizard does, answering its messages on
// this thread, and waits for its result.
#pragma once

#include "EventLoopWait.h"
#include "PrintLayout.h"
#include "TPrintThread.h"

#include <functional>
#include <memory>
#include <optional>

namespace printtest {

struct PrintRun
{
    TPrintPageList pages;
    PrintLayoutResults results;
    std::unique_ptr<TPrintThread> thread;
    std::optional<int> result;
    int jobsAsked = 0;
    // Called on each photo handed over, with the count so far; may stop the thread.
    std::function<void(int jobs)> onJob;

    bool layOut(const TPrintPhotoObjectRefs& photos, PrintLayoutKind kind,
                const PrintSettings& settings)
    {
        PrintLayoutRequest request;
        request.kind = kind;
        request.paper = paperMetrics(settings, isNPerPage(kind));
        request.landscape = settings.isLandscape();
        return BuildPrintLayout(photos, request, pages, results);
    }

    void start(const PrintSettings& settings, const PrintTarget& target, PrintLayoutKind kind)
    {
        const bool nPerPage = isNPerPage(kind);
        thread = std::make_unique<TPrintThread>(
            [this](const WindowMessage& message) -> qintptr {
                if (message.id == WM_PRINT_RESULT) {
                    result = int(message.wParam);
                    return 0;
                }
                const qintptr answer =
                    answerPrintJob(pages, int(message.wParam), int(message.lParam), thread->job());
                if (answer >= 0 && onJob)
                    onJob(++jobsAsked);
                return answer;
            },
            settings, target, nPerPage, nPerPage&& settings.isLandscape());
        thread->start();
    }

    // Until the result arrives or the thread has ended without one.
    bool wait(std::chrono::milliseconds limit = 120s)
    {
        return pumpUntil([&] { return result.has_value() || !thread->isRunning(); }, limit);
    }
};

} // namespace printtest

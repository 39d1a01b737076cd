// Hands a finished PDF to a CUPS queue through libcups, with the options of the printer
// entry's settings, and withdraws it again when the user cancels.
#pragma once

#include "PrintSettings.h"

#include <QString>

#include <utility>
#include <vector>

class CupsJob
{
public:
    // The cupsPrintFile options for these settings: media, orientation, copies, sides and
    // colour.
    static std::vector<std::pair<QString, QString>> optionsFor(const PrintSettings& settings);

    // Sends the file; false with errorText() set when the queue refused it.
    bool submit(const QString& queue, const QString& pdfPath, const QString& title,
                const PrintSettings& settings);
    // Withdraws a submitted job; safe when none was submitted.
    bool cancel();

    int jobId() const { return mJobId; }
    const QString& queue() const { return mQueue; }
    const QString& errorText() const { return mErrorText; }

private:
    QString mQueue;
    int mJobId = 0;
    QString mErrorText;
};

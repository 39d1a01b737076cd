// One entry of the print wizard's printer list: a CUPS queue, or the program's own
// "Print to file (PDF)". Each entry keeps its own QPrinter with the settings the user chose.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QPrinter;
class QWidget;

class TPrinterObject
{
public:
    // A CUPS queue by its name.
    explicit TPrinterObject(QString printerName);
    static std::unique_ptr<TPrinterObject> pdfFile();
    ~TPrinterObject();

    TPrinterObject(const TPrinterObject&) = delete;
    TPrinterObject& operator=(const TPrinterObject&) = delete;

    // The name shown in the list.
    QString displayName() const;
    const QString& printerName() const { return mPrinterName; }
    bool isPdfFile() const { return mPdfFile; }

    // The settings, made with the printer's defaults on first need; null when the printer
    // cannot be reached.
    QPrinter* deviceMode();
    bool hasDeviceMode() const { return mDeviceMode != nullptr; }

    // The system's settings dialog on a copy of the settings; they are replaced only when the
    // user accepts it. True when they were.
    bool editSettings(QWidget* parent);

    // A new QPrinter with the same settings; null without a device mode.
    std::unique_ptr<QPrinter> copyDeviceMode();

private:
    TPrinterObject(QString printerName, bool pdfFile);

    const QString mPrinterName;
    const bool mPdfFile;
    std::unique_ptr<QPrinter> mDeviceMode;
};

// The index to select in a list of printer names: the default printer, else the first; -1
// for an empty list. CUPS queue names ignore case.
int defaultPrinterIndex(const QStringList& names, const QString& defaultName);

// Owns the entries; the wizard's list shows them in this order.
struct TPrinterObjects
{
    std::vector<std::unique_ptr<TPrinterObject>> entries;
    int selected = -1;

    // The CUPS queues followed by "Print to file (PDF)", with the default queue selected.
    static TPrinterObjects enumerate();
};

// Copies every setting the program prints with from one QPrinter to another.
void copyPrinterSettings(const QPrinter& from, QPrinter& to);

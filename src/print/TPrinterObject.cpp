#include "TPrinterObject.h"

#include "WaitCursor.h"
#include "uLanguage.h"

#include <QComboBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace {

constexpr unsigned TextPrintToFile = 331;

} // namespace

TPrinterObject::TPrinterObject(QString printerName) : TPrinterObject(std::move(printerName), false)
{}

TPrinterObject::TPrinterObject(QString printerName, bool pdfFile)
    : mPrinterName(std::move(printerName)), mPdfFile(pdfFile)
{}

TPrinterObject::~TPrinterObject() = default;

std::unique_ptr<TPrinterObject> TPrinterObject::pdfFile()
{
    return std::unique_ptr<TPrinterObject>(new TPrinterObject(QString(), true));
}

QString TPrinterObject::displayName() const
{
    return mPdfFile ? GetText(TextPrintToFile) : mPrinterName;
}

QPrinter* TPrinterObject::deviceMode()
{
    if (mDeviceMode)
        return mDeviceMode.get();
    WaitCursor wait;
    if (mPdfFile) {
        mDeviceMode = std::make_unique<QPrinter>(QPrinter::HighResolution);
        mDeviceMode->setOutputFormat(QPrinter::PdfFormat);
    } else {
        const QPrinterInfo info = QPrinterInfo::printerInfo(mPrinterName);
        // A queue removed since the list was made cannot be used.
        if (info.isNull())
            return nullptr;
        mDeviceMode = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        if (!mDeviceMode->isValid()) {
            mDeviceMode.reset();
            return nullptr;
        }
    }
    mDeviceMode->setColorMode(QPrinter::Color);
    return mDeviceMode.get();
}

std::unique_ptr<QPrinter> TPrinterObject::copyDeviceMode()
{
    const QPrinter* own = deviceMode();
    if (!own)
        return nullptr;
    auto copy = std::make_unique<QPrinter>(QPrinter::HighResolution);
    copyPrinterSettings(*own, *copy);
    return copy;
}

bool TPrinterObject::editSettings(QWidget* parent)
{
    std::unique_ptr<QPrinter> copy = copyDeviceMode();
    if (!copy)
        return false;
    bool accepted = false;
    if (mPdfFile) {
        // A file has no colour, copies or duplex to choose: paper and orientation.
        QPageSetupDialog dialog(copy.get(), parent);
        dialog.setObjectName(QStringLiteral("PrinterSettingsDialog"));
        accepted = dialog.exec() == QDialog::Accepted;
    } else {
        QPrintDialog dialog(copy.get(), parent);
        dialog.setObjectName(QStringLiteral("PrinterSettingsDialog"));
        dialog.setOptions(QAbstractPrintDialog::PrintCollateCopies |
                          QAbstractPrintDialog::PrintShowPageSize);
        // The printer is chosen in the wizard's list; the dialog only sets this one up.
        if (auto* printers = dialog.findChild<QComboBox*>(QStringLiteral("printers")))
            printers->setEnabled(false);
        accepted = dialog.exec() == QDialog::Accepted && copy->printerName() == mPrinterName &&
                   copy->outputFormat() == QPrinter::NativeFormat;
    }
    if (accepted)
        mDeviceMode = std::move(copy);
    return accepted;
}

int defaultPrinterIndex(const QStringList& names, const QString& defaultName)
{
    if (names.isEmpty())
        return -1;
    if (!defaultName.isEmpty()) {
        for (int i = 0; i < names.size(); ++i) {
            if (names.at(i).compare(defaultName, Qt::CaseInsensitive) == 0)
                return i;
        }
    }
    return 0;
}

TPrinterObjects TPrinterObjects::enumerate()
{
    TPrinterObjects list;
    const QStringList names = QPrinterInfo::availablePrinterNames();
    for (const QString& name : names)
        list.entries.push_back(std::make_unique<TPrinterObject>(name));
    list.entries.push_back(TPrinterObject::pdfFile());
    QStringList shown = names;
    shown << QString(); // the file entry is never the system's default
    list.selected = defaultPrinterIndex(shown, QPrinterInfo::defaultPrinterName());
    return list;
}

void copyPrinterSettings(const QPrinter& from, QPrinter& to)
{
    to.setOutputFormat(from.outputFormat());
    // Naming the printer loads its defaults, so it comes before everything it would reset.
    if (from.outputFormat() == QPrinter::NativeFormat)
        to.setPrinterName(from.printerName());
    to.setOutputFileName(from.outputFileName());
    to.setResolution(from.resolution());
    to.setPageLayout(from.pageLayout());
    to.setFullPage(from.fullPage());
    to.setColorMode(from.colorMode());
    to.setCopyCount(from.copyCount());
    to.setCollateCopies(from.collateCopies());
    to.setDuplex(from.duplex());
    to.setPageOrder(from.pageOrder());
    to.setDocName(from.docName());
    to.setCreator(from.creator());
}

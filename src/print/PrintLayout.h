// The seven page layouts: turning the photos of a run and the printer's paper into pages of
// slots. Pure arithmetic on micrometres; the paper comes in as measured device pixels.
#pragma once

#include "TPrintPage.h"

#include <QString>

enum class PrintLayoutKind
{
    OnePerPage,
    TwoPerPage,
    FourPerPage,
    Size9x13,
    Size10x15,
    Size13x18,
    Thumbnails
};
inline constexpr int kPrintLayoutCount = 7;

// The radio button's text id (305 to 311).
int printLayoutTextId(PrintLayoutKind kind);
// One, two and four per page: the photo as large as its slot allows, on a portrait page.
bool isNPerPage(PrintLayoutKind kind);
// The three fixed photo sizes, which cut the photo to their cell.
bool isFixedSize(PrintLayoutKind kind);

// The paper as the printer reports it, in device pixels: the physical page, the offsets of the
// printable area from its top-left corner, and the pixels per inch. All zero when the printer
// could not be asked.
struct PaperMetrics
{
    int paperWidth = 0;
    int paperHeight = 0;
    int offsetX = 0;
    int offsetY = 0;
    int dpiX = 0;
    int dpiY = 0;
};

// What the wizard keeps beside the pages.
struct PrintLayoutResults
{
    // Micrometres, in the orientation the preview shows (turned for a landscape-turned page).
    qint32 paperWidth = 0;
    qint32 paperHeight = 0;
    qint32 offsetLeft = 0;
    qint32 offsetTop = 0;
    // One, two or four per page on landscape paper: laid out on a portrait page, shown turned.
    bool landscapeTurn = false;
    qint32 turnedWidth = 0;
    int slotCount = 0;
    // Filled by the wizard once it has sized its sheet.
    double previewPpiX = 0;
    double previewPpiY = 0;
};

struct PrintLayoutRequest
{
    PrintLayoutKind kind = PrintLayoutKind::OnePerPage;
    // "Print photos as large as possible."; only the first three layouts use it.
    bool enlarge = false;
    // The paper measured for this layout: portrait for one, two and four per page.
    PaperMetrics paper;
    // The printer's own orientation setting.
    bool landscape = false;
    // Stands in for a photo file's missing resolution.
    double screenPpiX = 96;
    double screenPpiY = 96;
};

// Lays the photos out. False when the paper has no size; the caller shows
// GetText(kTextNoPaperSize) and keeps its old pages. Photos whose file cannot be read are
// left out of the fixed-size and thumbnail layouts. Without any slot there is one empty page.
bool BuildPrintLayout(const TPrintPhotoObjectRefs& photos, const PrintLayoutRequest& request,
                      TPrintPageList& pages, PrintLayoutResults& results);

// "Failed to get paper width and height from printer."
inline constexpr int kTextNoPaperSize = 330;

// A slot of a landscape-turned page as the preview shows it, a quarter turn clockwise.
MicroRect turnedSlot(const MicroRect& slot, qint32 turnedWidth);

// Micrometres from device pixels at the given density, rounded.
qint32 micrometresFromPixels(double pixels, double ppi);
// Device pixels from micrometres, rounded.
int pixelsFromMicrometres(double micrometres, double ppi);

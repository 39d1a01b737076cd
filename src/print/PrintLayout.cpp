#include "PrintLayout.h"

#include "ImageFile.h"
#include "ImagingResult.h"
#include "PhotoPlacement.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace {

// The unprintable border plus 3 mm.
constexpr qint32 kExtraMargin = 3000;

struct FixedCell
{
    qint32 width;
    qint32 height;
    qint32 spacing;
};

FixedCell fixedCell(PrintLayoutKind kind)
{
    switch (kind) {
    case PrintLayoutKind::Size9x13:
        return {130000, 90000, 37000};
    case PrintLayoutKind::Size10x15:
        return {150000, 100000, 15900};
    case PrintLayoutKind::Size13x18:
        return {180000, 130000, 3000};
    default:
        return {35000, 35000, 1000};
    }
}

struct Paper
{
    qint32 width = 0;
    qint32 height = 0;
    qint32 offsetX = 0;
    qint32 offsetY = 0;
};

class LayoutBuilder
{
public:
    LayoutBuilder(const PrintLayoutRequest& request, const Paper& paper, TPrintPageList& pages)
        : mRequest(request), mPaper(paper), mPages(pages), mLeft(paper.offsetX + kExtraMargin),
          mTop(paper.offsetY + kExtraMargin)
    {}

    int build(const TPrintPhotoObjectRefs& photos)
    {
        switch (mRequest.kind) {
        case PrintLayoutKind::OnePerPage:
            onePerPage(photos);
            break;
        case PrintLayoutKind::TwoPerPage:
            twoPerPage(photos);
            break;
        case PrintLayoutKind::FourPerPage:
            fourPerPage(photos);
            break;
        default:
            cells(photos);
            break;
        }
        return mSlotCount;
    }

private:
    TPrintPhoto& addSlot(const TPrintPhotoObjectPtr& photo, const MicroRect& slot)
    {
        ++mSlotCount;
        TPrintPhoto& added = mPages.back().photos.emplace_back();
        added.photo = photo;
        added.slot = slot;
        return added;
    }

    TPrintPhoto& addLargeSlot(const TPrintPhotoObjectPtr& photo, const MicroRect& slot)
    {
        TPrintPhoto& added = addSlot(photo, slot);
        added.rotateAllowed = true;
        added.enlarge = mRequest.enlarge;
        return added;
    }

    void onePerPage(const TPrintPhotoObjectRefs& photos)
    {
        for (const TPrintPhotoObjectPtr& photo : photos) {
            mPages.emplace_back();
            addLargeSlot(photo, {mLeft, mTop, mPaper.width - mLeft, mPaper.height - mTop});
        }
    }

    void twoPerPage(const TPrintPhotoObjectRefs& photos)
    {
        constexpr qint32 m = 25400;
        const qint32 left = std::max(mLeft, 12700);
        const qint32 top = std::max(mTop, 12700);
        const qint32 w = mPaper.width;
        const qint32 h = mPaper.height;
        const MicroRect positions[] = {{left, top, w - left, h / 2 - m / 2},
                                       {left, h / 2 + m / 2, w - left, h - top}};
        for (std::size_t i = 0; i < photos.size(); ++i) {
            if (i % 2 == 0)
                mPages.emplace_back();
            // On landscape paper the page is turned afterwards: its bottom half shows first.
            const std::size_t position = mRequest.landscape ? (i % 2 == 0 ? 1 : 0) : i % 2;
            addLargeSlot(photos[i], positions[position]);
        }
    }

    void fourPerPage(const TPrintPhotoObjectRefs& photos)
    {
        constexpr qint32 m = 12700;
        const qint32 left = std::max(mLeft, 12700);
        const qint32 top = std::max(mTop, 12700);
        const qint32 w = mPaper.width;
        const qint32 h = mPaper.height;
        const MicroRect positions[] = {
            {left, top, w / 2 - m / 2, h / 2 - m / 2},
            {w / 2 + m / 2, top, w - left, h / 2 - m / 2},
            {left, h / 2 + m / 2, w / 2 - m / 2, h - top},
            {w / 2 + m / 2, h / 2 + m / 2, w - left, h - top},
        };
        constexpr std::size_t landscapeOrder[] = {2, 0, 3, 1};
        for (std::size_t i = 0; i < photos.size(); ++i) {
            if (i % 4 == 0)
                mPages.emplace_back();
            const std::size_t position = mRequest.landscape ? landscapeOrder[i % 4] : i % 4;
            addLargeSlot(photos[i], positions[position]);
        }
    }

    struct Cell
    {
        TPrintPhotoObjectPtr photo;
        qint32 width = 0;
        qint32 height = 0;
        bool rotateAllowed = false;
    };

    // The photo's own cell, or none when its file cannot be read.
    std::optional<Cell> cellFor(const TPrintPhotoObjectPtr& photo, qint32 width, qint32 height,
                                bool cellCanTurn) const
    {
        imaging::PictureInfo info;
        if (imaging::fileInfo(photo->fileName(), info) != imaging::Success)
            return std::nullopt;
        const std::optional<PhotoNaturalSize> natural =
            naturalSize(info.width, info.height, info.xResolution, info.yResolution,
                        mRequest.screenPpiX, mRequest.screenPpiY);
        if (!natural)
            return std::nullopt;
        const double W = natural->widthMicrometres;
        const double H = natural->heightMicrometres;
        const double s0 = std::max(height / H, width / W);
        const double s1 = std::max(height / W, width / H);
        Cell cell{photo, width, height, false};
        if (s1 < s0) {
            if (cellCanTurn)
                std::swap(cell.width, cell.height);
            else
                cell.rotateAllowed = true;
        }
        return cell;
    }

    void cells(const TPrintPhotoObjectRefs& photos)
    {
        const FixedCell fixed = fixedCell(mRequest.kind);
        const bool thumbnails = mRequest.kind == PrintLayoutKind::Thumbnails;
        const qint32 printableWidth = mPaper.width - 2 * mLeft;
        const qint32 printableHeight = mPaper.height - 2 * mTop;
        const auto fits = [&](qint32 width, qint32 height) {
            return width <= printableWidth && height <= printableHeight;
        };
        qint32 cellWidth = fixed.width;
        qint32 cellHeight = fixed.height;
        // A cell turned for a portrait photo must fit as well, or that photo's cell would
        // reach beyond the paper.
        bool cellCanTurn = fits(cellHeight, cellWidth);
        if (!fits(cellWidth, cellHeight)) {
            std::swap(cellWidth, cellHeight);
            cellCanTurn = false;
            if (!fits(cellWidth, cellHeight)) {
                cellWidth = printableWidth;
                cellHeight = printableHeight;
            }
        }

        std::vector<Cell> queue;
        for (const TPrintPhotoObjectPtr& photo : photos)
            if (std::optional<Cell> cell = cellFor(photo, cellWidth, cellHeight, cellCanTurn))
                queue.push_back(std::move(*cell));

        const qint32 m = fixed.spacing;
        std::optional<qint32> gap;
        qint32 y = mTop;
        int rowOnPage = 0;
        bool pageOpen = false;
        std::vector<qint32> rowHeights;

        std::size_t next = 0;
        while (next < queue.size()) {
            qint32 x = mLeft;
            qint32 rowHeight = 0;
            qint32 widths = 0;
            std::size_t first = next;
            while (next < queue.size() && mPaper.width - mLeft >= x + queue[next].width) {
                x += queue[next].width + m;
                widths += queue[next].width;
                rowHeight = std::max(rowHeight, queue[next].height);
                ++next;
            }
            if (next == first)
                break;
            const qint32 count = qint32(next - first);
            if (!thumbnails || !gap)
                gap = qint32(std::lround(double(printableWidth - widths) / (count + 1)));

            if (pageOpen && mPaper.height - mTop < y + rowHeight) {
                finishPage(rowHeights, thumbnails, cellHeight, m);
                pageOpen = false;
            }
            if (!pageOpen) {
                mPages.emplace_back();
                pageOpen = true;
                y = mTop;
                rowOnPage = 0;
                rowHeights.clear();
            }

            qint32 left = mLeft + *gap;
            for (std::size_t i = first; i < next; ++i) {
                const Cell& cell = queue[i];
                TPrintPhoto& slot = addSlot(cell.photo, {left, 0, left + cell.width, cell.height});
                slot.rotateAllowed = cell.rotateAllowed;
                slot.enlarge = true;
                slot.fill = !thumbnails;
                slot.row = rowOnPage;
                slot.rowHeight = rowHeight;
                left += cell.width + *gap;
            }
            rowHeights.push_back(rowHeight);
            ++rowOnPage;
            y += rowHeight + m;
        }
        if (pageOpen)
            finishPage(rowHeights, thumbnails, cellHeight, m);
    }

    // Spreads the page's rows over its height and centres each slot in its row.
    void finishPage(const std::vector<qint32>& rowHeights, bool thumbnails, qint32 cellHeight,
                    qint32 m)
    {
        const qint32 printableHeight = mPaper.height - 2 * mTop;
        qint32 v = 0;
        if (thumbnails) {
            // The same pitch on every page. The rows a page takes are counted as the row
            // filling counts them, so that a full page never runs past the bottom margin.
            const qint32 rows = std::max<qint32>(1, (printableHeight + m) / (cellHeight + m));
            v = qint32(std::lround(double(printableHeight - rows * cellHeight) / (rows + 1)));
        } else {
            qint32 sum = 0;
            for (qint32 height : rowHeights)
                sum += height;
            v = qint32(std::lround(double(printableHeight - sum) / qint32(rowHeights.size() + 1)));
        }
        TPrintPhotoList& pageSlots = mPages.back().photos;
        qint32 y = mTop + v;
        for (std::size_t i = 0; i < pageSlots.size(); ++i) {
            TPrintPhoto& slot = pageSlots[i];
            const qint32 height = slot.slot.height();
            slot.slot.top = y + (slot.rowHeight - height) / 2;
            slot.slot.bottom = slot.slot.top + height;
            if (i + 1 < pageSlots.size() && pageSlots[i + 1].row != slot.row)
                y += slot.rowHeight + v;
        }
    }

    const PrintLayoutRequest& mRequest;
    const Paper mPaper;
    TPrintPageList& mPages;
    const qint32 mLeft;
    const qint32 mTop;
    int mSlotCount = 0;
};

} // namespace

int printLayoutTextId(PrintLayoutKind kind)
{
    return 305 + int(kind);
}

bool isNPerPage(PrintLayoutKind kind)
{
    return kind == PrintLayoutKind::OnePerPage || kind == PrintLayoutKind::TwoPerPage ||
           kind == PrintLayoutKind::FourPerPage;
}

bool isFixedSize(PrintLayoutKind kind)
{
    return kind == PrintLayoutKind::Size9x13 || kind == PrintLayoutKind::Size10x15 ||
           kind == PrintLayoutKind::Size13x18;
}

qint32 micrometresFromPixels(double pixels, double ppi)
{
    return ppi > 0 ? qint32(std::lround(pixels / ppi * 25.4 * 1000)) : 0;
}

int pixelsFromMicrometres(double micrometres, double ppi)
{
    return int(std::lround(micrometres * ppi / kMicrometresPerInch));
}

MicroRect turnedSlot(const MicroRect& slot, qint32 turnedWidth)
{
    return {turnedWidth - slot.bottom, slot.left, turnedWidth - slot.top, slot.right};
}

bool BuildPrintLayout(const TPrintPhotoObjectRefs& photos, const PrintLayoutRequest& request,
                      TPrintPageList& pages, PrintLayoutResults& results)
{
    const PaperMetrics& measured = request.paper;
    Paper paper;
    paper.width = micrometresFromPixels(measured.paperWidth, measured.dpiX);
    paper.height = micrometresFromPixels(measured.paperHeight, measured.dpiY);
    paper.offsetX = micrometresFromPixels(measured.offsetX, measured.dpiX);
    paper.offsetY = micrometresFromPixels(measured.offsetY, measured.dpiY);
    if (paper.width <= 0 || paper.height <= 0)
        return false;

    TPrintPageList built;
    LayoutBuilder builder(request, paper, built);
    const int slotCount = builder.build(photos);

    // Slots become relative to the printable area.
    for (TPrintPage& page : built)
        for (TPrintPhoto& slot : page.photos) {
            slot.slot.left -= paper.offsetX;
            slot.slot.right -= paper.offsetX;
            slot.slot.top -= paper.offsetY;
            slot.slot.bottom -= paper.offsetY;
        }

    results = PrintLayoutResults();
    results.slotCount = slotCount;
    if (request.landscape && isNPerPage(request.kind)) {
        std::swap(paper.width, paper.height);
        std::swap(paper.offsetX, paper.offsetY);
        results.landscapeTurn = true;
        results.turnedWidth = paper.width - 2 * paper.offsetX;
    }
    results.paperWidth = paper.width;
    results.paperHeight = paper.height;
    results.offsetLeft = paper.offsetX;
    results.offsetTop = paper.offsetY;

    if (built.empty())
        built.emplace_back();
    pages = std::move(built);
    return true;
}

#include "TVelkoImageScroller.h"

#include "GridMessages.h"
#include "QtImage.h"
#include "ShellNameOrder.h"
#include "ShellNamespace.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSet>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr quint32 kWatchedEvents =
    ShcneRenameItem | ShcneCreate | ShcneDelete | ShcneUpdateDir | ShcneUpdateItem;
constexpr int kDragThreshold = 8; // pixels of distance, in any direction
// Decoded thumbnails kept: a few screens' worth of main-window cells (about 25 KB each).
constexpr qsizetype kPictureCacheBytes = 16 * 1024 * 1024;

QString pathOf(const ShellItemIdList& ids)
{
    const auto path = ShellNamespace::instance().pathOf(ids);
    return path ? QFile::decodeName(*path) : QString();
}

// The platform's order of names: case-insensitive, numbers by value.
bool pathLess(const QString& a, const QString& b)
{
    return ShellNameOrder::naturalCompare(a.toUtf8(), b.toUtf8()) < 0;
}

imaging::ColorRef colorRefOf(const QColor& color)
{
    return imaging::makeColorRef(color.red(), color.green(), color.blue());
}

} // namespace

TVelkoImageScroller::TVelkoImageScroller(QWidget* parent) : QWidget(parent), mPhotos()
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    mPictures.setMaxCost(kPictureCacheBytes);
    const int textHeight = fontMetrics().height();
    mMetrics.textHeight = textHeight > 0 ? textHeight : 16;
    mScrollBar = new QScrollBar(Qt::Vertical, this);
    mScrollBar->hide();
    connect(mScrollBar, &QScrollBar::valueChanged, this, &TVelkoImageScroller::scrollBarMoved);
    connect(mScrollBar, &QScrollBar::sliderReleased, this, [this] {
        if (mStepScroll)
            scrollTo(grid::stepScrollRound(mLayout.position, mLayout.pitch, mLayout.highest));
    });
    connect(mScrollBar, &QScrollBar::actionTriggered, this,
            &TVelkoImageScroller::scrollActionTriggered);
    makeCheckBoxPictures();
    relayout();
}

TVelkoImageScroller::~TVelkoImageScroller()
{
    StopThumbnails();
    mScanWorker.reset(); // asks it to end and waits
    if (mRegistration)
        ShellChangeNotifier::instance().deregisterClient(mRegistration);
}

// ---- Properties -------------------------------------------------------------------------

void TVelkoImageScroller::setScrollAlign(grid::ScrollAlign align)
{
    mAlign = align;
    mScrollBar->setOrientation(align == grid::ScrollAlign::Right ? Qt::Vertical : Qt::Horizontal);
    relayout();
}

int TVelkoImageScroller::ScrollBarMax() const
{
    return mLayout.barShown ? mLayout.barMaximum : 0;
}

int TVelkoImageScroller::ScrollBarPos() const
{
    return mLayout.position;
}

// ---- The photo list ---------------------------------------------------------------------

void TVelkoImageScroller::SetFolder(const ShellItemIdList& folder, bool selectAll)
{
    // The folder already shown keeps its photos as they are; Rescan reads it again.
    if (mRequest && sameFolderId(*mRequest->folder, folder))
        return;
    ClearPhotos();
    if (!mScanWorker) {
        mScanWorker = std::make_unique<TChangeDirThread>(
            [this](const WindowMessage& message) { return handleWorkerMessage(message); });
        mScanWorker->start();
    }
    if (mRegistration)
        ShellChangeNotifier::instance().deregisterClient(mRegistration);
    mRegistration = ShellChangeNotifier::instance().registerClient(this, WM_GRID_SHELL_CHANGE,
                                                                   folder, false, kWatchedEvents);
    mSelectAll = selectAll;
    startScan(std::make_shared<const ShellItemIdList>(folder));
}

std::optional<ShellItemIdList> TVelkoImageScroller::folder() const
{
    if (!mRequest)
        return std::nullopt;
    return *mRequest->folder;
}

void TVelkoImageScroller::Rescan()
{
    if (!mScanWorker || !mRequest)
        return;
    ClearPhotos();
    startScan(mRequest->folder);
}

void TVelkoImageScroller::startScan(std::shared_ptr<const ShellItemIdList> folder)
{
    mScanRunning = true;
    mHeldChanges.clear(); // about the list just emptied
    mRequest = std::make_shared<const TChangeDirThread::Request>(
        TChangeDirThread::Request{std::move(folder), ++mScanSerial});
    mScanWorker->setRequest(mRequest);
}

void TVelkoImageScroller::ClearPhotos()
{
    // The thumbnails of the old list stop at once; late results find no job and are dropped.
    if (mThumbnailWorker)
        mThumbnailWorker->cancelAll();
    mInWork.clear();
    mPictures.clear();
    setFocused(-1);
    mPhotos.clear();
    mSortedByPath = true;
    mDropSlot = -1;
    mEmptyText = QStringLiteral("...");
    relayout();
}

void TVelkoImageScroller::StartThumbnails(Loader loader)
{
    if (mThumbnailWorker)
        return;
    mThumbnailWorker = std::make_unique<TCreateThumbThread>(
        [this](const WindowMessage& message) { return handleWorkerMessage(message); },
        std::move(loader), mMetrics.thumbSize, colorRefOf(mItemBGColor));
    mThumbnailWorker->start(QThread::IdlePriority);
    feedThumbnailWorker();
}

void TVelkoImageScroller::StopThumbnails()
{
    if (!mThumbnailWorker)
        return;
    mThumbnailWorker->setPriority(QThread::HighPriority); // so it ends quickly
    mThumbnailWorker.reset();                             // asks it to end and waits
    for (const auto& [job, photo] : mInWork)
        photo->setThumbnailJob(0);
    mInWork.clear();
}

bool TVelkoImageScroller::AddPhoto(std::unique_ptr<TPhoto>& photo,
                                   const std::optional<QByteArray>& stream, bool relayoutGrid)
{
    FitCaption(*photo);
    if (stream) {
        const QImage picture = imaging::decodeImage(*stream);
        if (picture.isNull())
            return false;
        photo->setThumbnail(*stream, picture.size());
        photo->setThumbnailDone(true);
        cachePicture(*photo, picture);
    }
    mPhotos.append(std::move(photo));
    feedThumbnailWorker();
    if (relayoutGrid)
        relayout();
    return true;
}

void TVelkoImageScroller::InsertPhotoSorted(std::unique_ptr<TPhoto> photo)
{
    const QString& path = photo->path();
    int at;
    if (mSortedByPath) {
        // The list is in path order while only the scan has filled it: a binary search.
        const auto found =
            std::partition_point(mPhotos.begin(), mPhotos.end(),
                                 [&](const auto& entry) { return pathLess(entry->path(), path); });
        at = int(found - mPhotos.begin());
    } else {
        at = 0;
        while (at < mPhotos.count() && pathLess(mPhotos.at(at)->path(), path))
            ++at;
    }
    if (at == mPhotos.count()) {
        AddPhoto(photo, std::nullopt, false);
        return;
    }
    FitCaption(*photo);
    mPhotos.insert(at, std::move(photo));
    if (mFocused >= at)
        reportFocus(mFocused + 1); // the same photo, one place later
    feedThumbnailWorker();
}

void TVelkoImageScroller::RemovePhotoAt(int index)
{
    if (index < 0 || index >= mPhotos.count())
        return;
    forgetPhoto(*mPhotos.at(index));
    const int last = mPhotos.count() - 1;
    mPhotos.removeAt(index);
    if (index == mFocused) {
        // Another photo now has the focus, even where the index stays.
        setFocused(index == last ? index - 1 : index, true);
    } else if (index < mFocused) {
        setFocused(mFocused - 1); // the same photo, one place earlier
    }
    relayout();
}

TPhotoList TVelkoImageScroller::GetSelectedPhotos() const
{
    TPhotoList selected(TPhotoList::Ownership::NonOwning);
    for (const auto& photo : mPhotos) {
        if (photo->selected())
            selected.append(photo.get());
    }
    return selected;
}

bool TVelkoImageScroller::HasSelection() const
{
    if (mLoading)
        return false;
    return std::any_of(mPhotos.begin(), mPhotos.end(),
                       [](const auto& photo) { return photo->selected(); });
}

void TVelkoImageScroller::SetAllSelected(bool value)
{
    if (mLoading)
        return;
    for (const auto& photo : mPhotos)
        photo->setSelected(value);
    mEmptyText = mNoItemsText;
    update();
}

TPhoto* TVelkoImageScroller::PickNextThumbnail() const
{
    const std::vector<TPhoto*> next = pickNextThumbnails(1);
    return next.empty() ? nullptr : next.front();
}

std::vector<TPhoto*> TVelkoImageScroller::pickNextThumbnails(int wanted) const
{
    const int start = grid::thumbnailSearchStart(mLayout, mMetrics);
    const std::vector<int> indexes =
        grid::pickNextThumbnails(start, mPhotos.count(), wanted, [this](int i) {
            const TPhoto& photo = *mPhotos.at(i);
            return photo.thumbnailDone() || photo.thumbnailJob() != 0;
        });
    std::vector<TPhoto*> photos;
    photos.reserve(indexes.size());
    for (const int index : indexes)
        photos.push_back(mPhotos.at(index));
    return photos;
}

void TVelkoImageScroller::FitCaption(TPhoto& photo) const
{
    const QFontMetrics metrics = fontMetrics();
    photo.setCaption(
        grid::fitCaptionLength(photo.path(), mMetrics.thumbSize, [&metrics](const QString& text) {
            return metrics.horizontalAdvance(text);
        }));
}

// ---- Worker messages --------------------------------------------------------------------

qintptr TVelkoImageScroller::handleWorkerMessage(const WindowMessage& message)
{
    switch (message.id) {
    case WM_SCAN_ITEM:
        scanItemFound(int(message.wParam));
        break;
    case WM_SCAN_DONE:
        scanDone(int(message.wParam));
        break;
    case WM_THUMB_DONE:
        thumbnailDone();
        break;
    default:
        break;
    }
    return 0;
}

void TVelkoImageScroller::scanItemFound(int serial)
{
    // A scan that was overtaken by another folder or a rescan reports nothing more.
    if (serial != mScanSerial || !mScanWorker)
        return;
    mLoading = true;
    for (const QString& path : mScanWorker->foundPaths())
        InsertPhotoSorted(std::make_unique<TPhoto>(path));
}

void TVelkoImageScroller::scanDone(int serial)
{
    if (serial != mScanSerial)
        return;
    mLoading = false;
    mScanRunning = false;
    SetAllSelected(mSelectAll);
    if (!mScrollUpdating)
        relayout();
    for (const ShellChange& change : std::exchange(mHeldChanges, {}))
        handleShellChange(change);
}

void TVelkoImageScroller::thumbnailDone()
{
    QSet<const TPhoto*> changed;
    for (const TCreateThumbThread::Result& result : mThumbnailWorker->results()) {
        const auto job = mInWork.find(result.id);
        if (job == mInWork.end())
            continue; // its photo is gone, or changed while it was made
        TPhoto& photo = *job->second;
        mInWork.erase(job);
        photo.setThumbnailJob(0);
        photo.setThumbnail(result.jpeg, result.picture.size());
        photo.setThumbnailDone(true);
        photo.setFileStamp(result.stamp);
        cachePicture(photo, result.picture);
        changed.insert(&photo);
    }
    if (!changed.isEmpty() && !mScrollUpdating)
        updateCellsOf(changed);
    queueThumbnails();
}

// Only the cells on screen whose pictures changed: most thumbnails arrive for photos out of
// view, and a full repaint each frame would take the decoders' time.
void TVelkoImageScroller::updateCellsOf(const QSet<const TPhoto*>& photos)
{
    for (int k = 0; k < mLayout.slotCount(); ++k) {
        const int index = mLayout.firstIndex + k;
        if (index >= mPhotos.count())
            break;
        if (photos.contains(mPhotos.at(index)))
            update(grid::slotRect(mLayout, mMetrics, k));
    }
}

void TVelkoImageScroller::feedThumbnailWorker()
{
    if (mThumbnailWorker && mThumbnailWorker->wantedJobs() > 0)
        queueThumbnails();
}

void TVelkoImageScroller::queueThumbnails()
{
    if (!mThumbnailWorker)
        return;
    // Taken back and picked again, so that what the user scrolled to comes first.
    for (const TCreateThumbThread::Job& job : mThumbnailWorker->replaceQueue({}))
        forgetJob(job.id);
    std::vector<TCreateThumbThread::Job> jobs;
    for (TPhoto* photo : pickNextThumbnails(mThumbnailWorker->wantedJobs())) {
        const quint64 id = ++mLastJob;
        photo->setThumbnailJob(id);
        mInWork.emplace(id, photo);
        jobs.push_back({id, photo->path()});
    }
    if (!jobs.empty())
        mThumbnailWorker->replaceQueue(std::move(jobs));
}

void TVelkoImageScroller::forgetJob(quint64 id)
{
    const auto job = mInWork.find(id);
    if (job == mInWork.end())
        return;
    job->second->setThumbnailJob(0);
    mInWork.erase(job);
}

void TVelkoImageScroller::forgetPhoto(TPhoto& photo)
{
    forgetJob(photo.thumbnailJob());
    mPictures.remove(photo.serial());
}

void TVelkoImageScroller::cachePicture(const TPhoto& photo, const QImage& picture)
{
    if (picture.isNull())
        mPictures.remove(photo.serial());
    else
        mPictures.insert(photo.serial(), new QImage(picture), picture.sizeInBytes());
}

const QImage* TVelkoImageScroller::pictureOf(const TPhoto& photo) const
{
    if (photo.thumbnail().isEmpty())
        return nullptr;
    if (const QImage* cached = mPictures.object(photo.serial()))
        return cached;
    // Scrolled back to: decoding a few KB of JPEG is quicker than keeping every picture.
    QImage decoded = imaging::decodeImage(photo.thumbnail());
    if (decoded.isNull())
        return nullptr;
    const qsizetype cost = decoded.sizeInBytes();
    auto* picture = new QImage(std::move(decoded));
    return mPictures.insert(photo.serial(), picture, cost) ? picture : nullptr;
}

// ---- Shell changes of the shown folder --------------------------------------------------

bool TVelkoImageScroller::event(QEvent* event)
{
    if (int(event->type()) == WM_GRID_SHELL_CHANGE) {
        if (const auto* message = dynamic_cast<const ShellChangeMessage*>(event)) {
            ShellChange change{message->event(), pathOf(message->first()),
                               pathOf(message->second())};
            // Held until the scan is done: the scan may still report (or have reported) the
            // same files, and a photo must neither come twice nor come back after deletion.
            if (mScanRunning)
                mHeldChanges.push_back(std::move(change));
            else
                handleShellChange(change);
        }
        return true;
    }
    return QWidget::event(event);
}

void TVelkoImageScroller::handleShellChange(const ShellChange& change)
{
    const QString& first = change.first;
    switch (change.event) {
    case ShcneCreate:
        photoCreated(first);
        break;
    case ShcneDelete:
        RemovePhotoAt(mPhotos.indexOfPath(first));
        break;
    case ShcneRenameItem: {
        const QString& second = change.second;
        if (isPhotoPath(first) && isPhotoPath(second)) {
            if (const int index = mPhotos.indexOfPath(first); index >= 0) {
                TPhoto& photo = *mPhotos.at(index);
                photo.setPath(second);
                FitCaption(photo);
                mSortedByPath = false; // it keeps its place under the new name
                if (photo.thumbnailJob() != 0) {
                    markChanged(photo); // that job looks for the old name
                    feedThumbnailWorker();
                }
                update();
            }
        } else if (isPhotoPath(first)) {
            RemovePhotoAt(mPhotos.indexOfPath(first));
        } else if (isPhotoPath(second)) {
            // Comes back as a creation.
            ShellChangeNotifier::instance().announcePath(ShcneCreate, QFile::encodeName(second));
        }
        break;
    }
    case ShcneUpdateItem:
        photoUpdated(first);
        break;
    case ShcneUpdateDir:
        resyncWithFolder(first);
        break;
    default:
        break;
    }
}

void TVelkoImageScroller::photoCreated(const QString& path)
{
    if (path.isEmpty() || !isPhotoPath(path))
        return;
    if (mPhotos.indexOfPath(path) >= 0) {
        photoUpdated(path);
        return;
    }
    // A new file goes to the end, where the user sees it arrive.
    auto photo = std::make_unique<TPhoto>(path);
    mSortedByPath = mPhotos.isEmpty();
    AddPhoto(photo, std::nullopt, true);
}

void TVelkoImageScroller::photoUpdated(const QString& path)
{
    const int index = mPhotos.indexOfPath(path);
    if (index < 0)
        return;
    markChanged(*mPhotos.at(index));
    feedThumbnailWorker();
}

void TVelkoImageScroller::markChanged(TPhoto& photo)
{
    // A thumbnail in work shows the old file: drop it and make it again. The old picture
    // stays shown until the new one comes.
    forgetJob(photo.thumbnailJob());
    photo.setThumbnailDone(false);
}

void TVelkoImageScroller::resyncWithFolder(const QString& folderPath)
{
    if (!mRequest || folderPath.isEmpty() || folderPath != pathOf(*mRequest->folder))
        return;
    QHash<QString, TPhoto*> unseen;
    unseen.reserve(mPhotos.count());
    for (const auto& photo : mPhotos)
        unseen.insert(photo->path(), photo.get());

    // What the scan would list, in its order.
    QStringList created;
    listFolderFiles(folderPath, [&](const QString& path, bool isPhoto) {
        if (!isPhoto)
            return true;
        if (TPhoto* photo = unseen.take(path)) {
            // A photo whose thumbnail was made from the file as it is now stays as it is.
            if (photo->thumbnailDone() && photo->fileStamp() != fileStampOf(path))
                markChanged(*photo);
        } else {
            created.append(path);
        }
        return true;
    });
    removePhotos(unseen);
    for (const QString& path : created) {
        auto photo = std::make_unique<TPhoto>(path);
        AddPhoto(photo, std::nullopt, false);
    }
    if (!created.isEmpty())
        mSortedByPath = false;
    relayout();
    feedThumbnailWorker();
}

void TVelkoImageScroller::removePhotos(const QHash<QString, TPhoto*>& gone)
{
    if (gone.isEmpty())
        return;
    const TPhoto* focused = mFocused >= 0 ? mPhotos.at(mFocused) : nullptr;
    const QSet<const TPhoto*> doomed(gone.cbegin(), gone.cend());
    int survivorsBeforeFocus = 0;
    for (int i = 0; i < mFocused; ++i)
        survivorsBeforeFocus += doomed.contains(mPhotos.at(i)) ? 0 : 1;
    for (TPhoto* photo : gone)
        forgetPhoto(*photo);
    mPhotos.removeIf([&](const TPhoto& photo) { return doomed.contains(&photo); });
    if (!focused)
        return;
    if (!doomed.contains(focused)) {
        reportFocus(survivorsBeforeFocus);
        return;
    }
    // Another photo now has the focus, even where the index stays.
    setFocused(std::min(survivorsBeforeFocus, mPhotos.count() - 1), true);
}

// ---- Layout and scrolling ---------------------------------------------------------------

void TVelkoImageScroller::relayout()
{
    const int barExtent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    mLayout = grid::layoutGrid(mMetrics, mAlign, width(), height(), mPhotos.count(),
                               mLayout.position, mStepScroll, barExtent);
    applyScrollBar(barExtent);
    update();
}

void TVelkoImageScroller::applyScrollBar(int extent)
{
    const QSignalBlocker blocker(mScrollBar);
    mScrollBar->setVisible(mLayout.barShown);
    if (!mLayout.barShown)
        return;
    if (mAlign == grid::ScrollAlign::Right)
        mScrollBar->setGeometry(width() - extent, 0, extent, height());
    else
        mScrollBar->setGeometry(0, height() - extent, width(), extent);
    mScrollBar->setRange(0, std::max(0, mLayout.highest));
    mScrollBar->setPageStep(mLayout.page);
    mScrollBar->setSingleStep(mLayout.pitch);
    mScrollBar->setValue(mLayout.position);
}

void TVelkoImageScroller::scrollTo(int position)
{
    if (!mLayout.barShown)
        return;
    mScrollBar->setValue(std::clamp(position, 0, std::max(0, mLayout.highest)));
}

void TVelkoImageScroller::scrollBarMoved(int position)
{
    if (mScrollUpdating)
        return;
    mScrollUpdating = true;
    mLayout.position = position;
    relayout();
    queueThumbnails(); // what came into view goes first
    mScrollUpdating = false;
    emit OnScrollPosChanged(mLayout.position);
}

// Trough clicks, arrows and the wheel over the bar end here; a thumb drag ends on release.
// The slider position may still be changed before it becomes the value.
void TVelkoImageScroller::scrollActionTriggered(int action)
{
    if (!mStepScroll || (action == QAbstractSlider::SliderMove && mScrollBar->isSliderDown()))
        return;
    const int from = mScrollBar->value();
    const int to = mScrollBar->sliderPosition();
    int rounded = grid::stepScrollRound(to, mLayout.pitch, mLayout.highest);
    // Rounded down, a small step forward (a fine wheel) would never leave its line.
    if (to > from && rounded <= from)
        rounded = std::min(rounded + mLayout.pitch, std::max(0, mLayout.highest));
    mScrollBar->setSliderPosition(rounded);
}

void TVelkoImageScroller::scrollFocusedIntoView()
{
    if (!mLayout.barShown || mFocused < 0)
        return;
    const int extent = mAlign == grid::ScrollAlign::Right ? height() : width();
    scrollTo(grid::scrollIntoView(mLayout, mMetrics, mFocused, mStepScroll, extent));
}

void TVelkoImageScroller::setFocused(int index, bool forceReport)
{
    mFocused = index;
    scrollFocusedIntoView();
    reportFocus(index, forceReport);
}

// Also for the same photo at a new index: listeners hold the index.
void TVelkoImageScroller::reportFocus(int index, bool force)
{
    mFocused = index;
    if (force || mFocused != mLastReported) {
        mLastReported = mFocused;
        emit OnSelectedItemChange(mFocused);
    }
}

void TVelkoImageScroller::SetActiveIndex(int index)
{
    if (index < 0 || index >= mPhotos.count())
        return;
    setFocused(index);
    update();
}

TPhoto* TVelkoImageScroller::GetActivePhoto()
{
    if (mFocused < 0 && !mPhotos.isEmpty())
        SetActiveIndex(0);
    return mFocused >= 0 && mFocused < mPhotos.count() ? mPhotos.at(mFocused) : nullptr;
}

void TVelkoImageScroller::resizeEvent(QResizeEvent*)
{
    relayout();
}

// ---- Keyboard and mouse -----------------------------------------------------------------

void TVelkoImageScroller::keyPressEvent(QKeyEvent* event)
{
    std::optional<grid::ArrowKey> arrow;
    switch (event->key()) {
    case Qt::Key_Left:
        arrow = grid::ArrowKey::Left;
        break;
    case Qt::Key_Up:
        arrow = grid::ArrowKey::Up;
        break;
    case Qt::Key_Right:
        arrow = grid::ArrowKey::Right;
        break;
    case Qt::Key_Down:
        arrow = grid::ArrowKey::Down;
        break;
    case Qt::Key_Space:
        if (mMetrics.showCheckbox && mFocused >= 0)
            toggleSelection(mFocused);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (mFocused >= 0)
            emit OnItemDblClick(mPhotos.at(mFocused));
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    const int target = grid::keyTarget(mLayout, mFocused, mPhotos.count(), *arrow);
    if (target >= 0)
        SetActiveIndex(target);
}

void TVelkoImageScroller::toggleSelection(int index)
{
    TPhoto* photo = mPhotos.at(index);
    photo->setSelected(!photo->selected());
    update();
}

void TVelkoImageScroller::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const QPoint point = event->position().toPoint();
    const grid::GridHit hit =
        grid::hitTest(mLayout, mMetrics, mPhotos.count(), point.x(), point.y());
    const bool onPhoto = hit.index >= 0 && !hit.inGap;
    mPressed = true;
    mDragging = false;
    mDragCandidate = onPhoto && mAllowSorting;
    mPressPoint = point;
    setFocused(onPhoto ? hit.index : -1);
    if (hasFocus())
        update();
    else
        setFocus(Qt::MouseFocusReason);
}

void TVelkoImageScroller::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    const QPoint moved = point - mPressPoint;
    if (mDragCandidate && !mDragging &&
        QPoint::dotProduct(moved, moved) >= kDragThreshold * kDragThreshold)
        mDragging = true;
    if (mDragging)
        updateDragMarker(point);
}

void TVelkoImageScroller::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !mPressed)
        return QWidget::mouseReleaseEvent(event);
    mPressed = false;
    mDragCandidate = false;
    const QPoint point = event->position().toPoint();
    if (mDragging) {
        mDragging = false;
        updateDragMarker(point);
        if (mDropSlot >= 0) {
            dropOnMarker();
            return;
        }
    }
    releaseAt(point); // a click, or a drag that found no target
}

void TVelkoImageScroller::releaseAt(const QPoint& point)
{
    const grid::GridHit hit =
        grid::hitTest(mLayout, mMetrics, mPhotos.count(), point.x(), point.y());
    if (!hit.inGap && hit.index >= 0 && hit.index == mFocused)
        toggleSelection(mFocused); // the whole cell toggles, not only the check box
}

void TVelkoImageScroller::updateDragMarker(const QPoint& point)
{
    const grid::GridHit hit =
        grid::hitTest(mLayout, mMetrics, mPhotos.count(), point.x(), point.y());
    const int slot = hit.inGap ? hit.dropSlot : hit.index;
    if (slot != mDropSlot) {
        mDropSlot = slot;
        update();
    }
}

void TVelkoImageScroller::dropOnMarker()
{
    const int slot = std::exchange(mDropSlot, -1);
    const int target = grid::dropTarget(mFocused, slot);
    if (target >= 0 && mFocused >= 0 && target < mPhotos.count()) {
        mPhotos.move(mFocused, target);
        mSortedByPath = false;
        setFocused(target);
    }
    update();
}

void TVelkoImageScroller::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || mFocused < 0)
        return QWidget::mouseDoubleClickEvent(event);
    mPressed = true; // the release that follows is a click of its own
    toggleSelection(mFocused);
    repaint();
    emit OnItemDblClick(mPhotos.at(mFocused));
}

void TVelkoImageScroller::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (mAlign != grid::ScrollAlign::Right || !mLayout.barShown || mStepScroll || delta == 0)
        return;
    scrollTo(grid::wheelPosition(mLayout.position, mMetrics, delta));
    if (mDragging)
        updateDragMarker(event->position().toPoint());
}

void TVelkoImageScroller::focusInEvent(QFocusEvent*)
{
    update();
}

void TVelkoImageScroller::focusOutEvent(QFocusEvent*)
{
    update();
}

// ---- Painting ---------------------------------------------------------------------------

void TVelkoImageScroller::makeCheckBoxPictures()
{
    const int size = grid::kCheckBoxSize;
    for (QPixmap* picture : {&mUnchecked, &mChecked}) {
        *picture = QPixmap(size, size);
        picture->fill(Qt::white);
        QPainter p(picture);
        p.setPen(QColor(28, 81, 128));
        p.drawRect(0, 0, size - 1, size - 1);
        if (picture == &mChecked) {
            p.setPen(QPen(QColor(33, 161, 33), 2));
            p.drawPolyline(QPolygon({QPoint(3, 6), QPoint(5, 8), QPoint(9, 3)}));
        }
    }
}

void TVelkoImageScroller::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect exposed = event->rect();
    if (mPhotos.isEmpty()) {
        paintEmpty(painter);
        return;
    }
    paintGaps(painter);
    const int gap = mMetrics.gap();
    for (int k = 0; k < mLayout.slotCount(); ++k) {
        const QRect cell = grid::slotRect(mLayout, mMetrics, k);
        const QRect gapStrip = mAlign == grid::ScrollAlign::Right
                                   ? QRect(cell.x(), cell.y() - gap, cell.width(), gap)
                                   : QRect(cell.x() - gap, cell.y(), gap, cell.height());
        if (!cell.united(gapStrip).intersects(exposed))
            continue; // a thumbnail that arrived elsewhere repaints only its own cell
        painter.fillRect(gapStrip, mColor);
        const int index = mLayout.firstIndex + k;
        if (index >= mPhotos.count())
            painter.fillRect(cell, mColor);
        else
            paintCell(painter, cell, index);
    }
    if (mDragging && mDropSlot >= 0)
        painter.fillRect(grid::dropMarkerRect(mLayout, mMetrics, mDropSlot), QColor(0, 255, 0));
}

void TVelkoImageScroller::paintEmpty(QPainter& painter) const
{
    painter.fillRect(rect(), mColor);
    const QRect measured = painter.fontMetrics().boundingRect(
        QRect(0, 0, mLayout.viewWidth, 0), Qt::TextWordWrap | Qt::AlignHCenter, mEmptyText);
    const int top = (mLayout.viewHeight - measured.height()) / 2;
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(0, top, mLayout.viewWidth, measured.height()),
                     Qt::TextWordWrap | Qt::AlignHCenter, mEmptyText);
}

void TVelkoImageScroller::paintGaps(QPainter& painter) const
{
    const int gap = mMetrics.gap();
    if (mAlign == grid::ScrollAlign::Right) {
        const int pitch = mMetrics.cellWidth() + gap;
        for (int i = 0; i <= mLayout.columns; ++i) {
            const int x = i * pitch;
            const int w = i == mLayout.columns ? std::max(gap, mLayout.viewWidth - x) : gap;
            painter.fillRect(QRect(x, 0, w, mLayout.viewHeight), mColor);
        }
    } else {
        const int pitch = mMetrics.cellHeight() + gap;
        for (int i = 0; i <= mLayout.rows; ++i) {
            const int y = i * pitch;
            const int h = i == mLayout.rows ? std::max(gap, mLayout.viewHeight - y) : gap;
            painter.fillRect(QRect(0, y, mLayout.viewWidth, h), mColor);
        }
    }
}

void TVelkoImageScroller::paintCell(QPainter& painter, const QRect& cell, int index) const
{
    const TPhoto& photo = *mPhotos.at(index);
    const int b = mMetrics.borderB();
    const int padding = mMetrics.padding;
    const int thumb = mMetrics.thumbSize;
    const int x = cell.x();
    const int y = cell.y();
    const int w = cell.width();
    const int h = cell.height();
    const QColor background = photo.selected() ? mItemSelectedBGColor : mItemBGColor;

    // Outer 4 px: the focus frame, or the grid's colour.
    if (index == mFocused) {
        painter.fillRect(cell, hasFocus() ? mFocusedSelectedColor : mUnFocusedSelectedColor);
        painter.fillRect(cell.adjusted(3, 3, -3, -3), mColor);
    } else {
        painter.fillRect(cell, mColor);
    }
    const QRect inner =
        cell.adjusted(grid::kCellMargin, grid::kCellMargin, -grid::kCellMargin, -grid::kCellMargin);
    const int border = mMetrics.itemBorderWidth;
    if (border > 0)
        painter.fillRect(inner, photo.selected() ? mItemSelectedBorderColor : mItemBorderColor);
    painter.fillRect(inner.adjusted(border, border, -border, -border), background);

    // Thumbnail box with the picture centred in it.
    const QImage* picture = pictureOf(photo);
    const QSize size = picture ? picture->size() : QSize(0, 0);
    const int extra = mShowPhotoBorder ? 2 : 0;
    const int pw = size.width() + extra;
    const int ph = size.height() + extra;
    const QRect box(x + b, y + b, w - 2 * b, thumb + 2 * padding);
    painter.fillRect(box, background);
    if (picture) {
        const QRect pictureRect(x + (w - pw) / 2, y + b + (2 * padding + thumb - ph) / 2, pw, ph);
        if (mShowPhotoBorder) {
            painter.setPen(mPhotoBorderColor);
            painter.drawRect(pictureRect.adjusted(0, 0, -1, -1));
            painter.drawImage(pictureRect.topLeft() + QPoint(1, 1), *picture);
        } else {
            painter.drawImage(pictureRect.topLeft(), *picture);
        }
    }

    if (mMetrics.showFilename) {
        const int t = mMetrics.textHeight;
        const QRect band(x + b, box.bottom() + 1, w - 2 * b, t + padding);
        painter.fillRect(band, background);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(band.x() + padding, band.y(), band.width() - 2 * padding, t),
                         Qt::AlignCenter | Qt::TextSingleLine, photo.caption());
    }
    if (mMetrics.showCheckbox) {
        const int size = grid::kCheckBoxSize;
        painter.drawPixmap(x + (w - size) / 2, y + h - b - padding - size,
                           photo.selected() ? mChecked : mUnchecked);
    }
}

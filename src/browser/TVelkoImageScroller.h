// The thumbnail grid: photos of one folder as equal cells with thumbnail, file name and
// check box, kept current by a scan worker, a thumbnail worker and shell notifications.
#pragma once

#include "GridLayout.h"
#include "ShellChangeNotifier.h"
#include "ShellItemIdList.h"
#include "TChangeDirThread.h"
#include "TCreateThumbThread.h"
#include "TPhotoList.h"

#include <QCache>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QSet>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>
#include <unordered_map>

class QScrollBar;

class TVelkoImageScroller : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor Color READ color WRITE setColor)
    Q_PROPERTY(QColor ItemBGColor READ itemBGColor WRITE setItemBGColor)
    Q_PROPERTY(QColor ItemSelectedBGColor READ itemSelectedBGColor WRITE setItemSelectedBGColor)
    Q_PROPERTY(QColor ItemBorderColor READ itemBorderColor WRITE setItemBorderColor)
    Q_PROPERTY(QColor ItemSelectedBorderColor READ itemSelectedBorderColor WRITE
                   setItemSelectedBorderColor)
    Q_PROPERTY(QColor FocusedSelectedColor READ focusedSelectedColor WRITE setFocusedSelectedColor)
    Q_PROPERTY(
        QColor UnFocusedSelectedColor READ unFocusedSelectedColor WRITE setUnFocusedSelectedColor)
    Q_PROPERTY(QColor PhotoBorderColor READ photoBorderColor WRITE setPhotoBorderColor)
    Q_PROPERTY(QString NoItemsText READ noItemsText WRITE setNoItemsText)
    Q_PROPERTY(bool ShowPhotoBorder READ showPhotoBorder WRITE setShowPhotoBorder)
    Q_PROPERTY(int ThumbSize READ thumbSize WRITE setThumbSize)
    Q_PROPERTY(int ItemBorderWidth READ itemBorderWidth WRITE setItemBorderWidth)
    Q_PROPERTY(int Padding READ padding WRITE setPadding)
    Q_PROPERTY(bool ShowFilename READ showFilename WRITE setShowFilename)
    Q_PROPERTY(bool ShowCheckbox READ showCheckbox WRITE setShowCheckbox)
    Q_PROPERTY(int Spacing READ spacing WRITE setSpacing)
    Q_PROPERTY(bool StepScroll READ stepScroll WRITE setStepScroll)
    Q_PROPERTY(bool AllowSorting READ allowSorting WRITE setAllowSorting)
    Q_PROPERTY(int ScrollBarMax READ ScrollBarMax)
    Q_PROPERTY(int ScrollBarPos READ ScrollBarPos)

public:
    using Loader = TCreateThumbThread::Loader;

    explicit TVelkoImageScroller(QWidget* parent = nullptr);
    ~TVelkoImageScroller() override;

    // ---- Appearance (a change repaints, or recomputes the cells and repaints) ----------
    QColor color() const { return mColor; }
    void setColor(const QColor& color) { changeLook(mColor, color); }
    QColor itemBGColor() const { return mItemBGColor; }
    void setItemBGColor(const QColor& color) { changeLook(mItemBGColor, color); }
    QColor itemSelectedBGColor() const { return mItemSelectedBGColor; }
    void setItemSelectedBGColor(const QColor& color) { changeLook(mItemSelectedBGColor, color); }
    QColor itemBorderColor() const { return mItemBorderColor; }
    void setItemBorderColor(const QColor& color) { changeLook(mItemBorderColor, color); }
    QColor itemSelectedBorderColor() const { return mItemSelectedBorderColor; }
    void setItemSelectedBorderColor(const QColor& c) { changeLook(mItemSelectedBorderColor, c); }
    QColor focusedSelectedColor() const { return mFocusedSelectedColor; }
    void setFocusedSelectedColor(const QColor& c) { changeLook(mFocusedSelectedColor, c); }
    QColor unFocusedSelectedColor() const { return mUnFocusedSelectedColor; }
    void setUnFocusedSelectedColor(const QColor& c) { changeLook(mUnFocusedSelectedColor, c); }
    QColor photoBorderColor() const { return mPhotoBorderColor; }
    void setPhotoBorderColor(const QColor& color) { changeLook(mPhotoBorderColor, color); }
    QString noItemsText() const { return mNoItemsText; }
    void setNoItemsText(const QString& text) { changeLook(mNoItemsText, text); }
    bool showPhotoBorder() const { return mShowPhotoBorder; }
    void setShowPhotoBorder(bool show) { changeLook(mShowPhotoBorder, show); }

    int thumbSize() const { return mMetrics.thumbSize; }
    void setThumbSize(int size) { changeItemSize(mMetrics.thumbSize, size); }
    int itemBorderWidth() const { return mMetrics.itemBorderWidth; }
    void setItemBorderWidth(int width) { changeItemSize(mMetrics.itemBorderWidth, width); }
    int padding() const { return mMetrics.padding; }
    void setPadding(int padding) { changeItemSize(mMetrics.padding, padding); }
    bool showFilename() const { return mMetrics.showFilename; }
    void setShowFilename(bool show) { changeItemSize(mMetrics.showFilename, show); }
    bool showCheckbox() const { return mMetrics.showCheckbox; }
    void setShowCheckbox(bool show) { changeItemSize(mMetrics.showCheckbox, show); }
    int spacing() const { return mMetrics.spacing; }
    void setSpacing(int spacing) { changeItemSize(mMetrics.spacing, spacing); }

    grid::ScrollAlign scrollAlign() const { return mAlign; }
    void setScrollAlign(grid::ScrollAlign align);
    bool stepScroll() const { return mStepScroll; }
    void setStepScroll(bool step) { mStepScroll = step; }
    bool allowSorting() const { return mAllowSorting; }
    void setAllowSorting(bool allow) { mAllowSorting = allow; }
    int ScrollBarMax() const;
    int ScrollBarPos() const;

    const grid::GridMetrics& metrics() const { return mMetrics; }
    const grid::GridLayout& gridLayout() const { return mLayout; }

    // ---- The photo list ----------------------------------------------------------------
    // Shows the photos of the folder; the folder already shown keeps its photos as they are.
    void SetFolder(const ShellItemIdList& folder, bool selectAll);
    std::optional<ShellItemIdList> folder() const;
    void Rescan();
    void ClearPhotos();
    void StartThumbnails(Loader loader);
    void StopThumbnails();
    // With a stream that does not decode, false and the photo stays with the caller.
    bool AddPhoto(std::unique_ptr<TPhoto>& photo, const std::optional<QByteArray>& stream,
                  bool relayout);
    void InsertPhotoSorted(std::unique_ptr<TPhoto> photo);
    void RemovePhotoAt(int index);
    TPhotoList GetSelectedPhotos() const;
    bool HasSelection() const;
    void SetAllSelected(bool value);
    // The photo whose thumbnail should be made next: visible ones first, then the rest in
    // grid order; none when every photo is done or in work.
    TPhoto* PickNextThumbnail() const;
    std::vector<TPhoto*> pickNextThumbnails(int wanted) const;

    const TPhotoList& photos() const { return mPhotos; }
    bool loading() const { return mLoading; }
    QString emptyText() const { return mEmptyText; }

    // ---- Focus -------------------------------------------------------------------------
    int focusedIndex() const { return mFocused; }
    void SetActiveIndex(int index);
    TPhoto* GetActivePhoto();
    void FitCaption(TPhoto& photo) const;

signals:
    void OnSelectedItemChange(int SelectedIndex);
    void OnItemDblClick(TPhoto* Photo);
    void OnScrollPosChanged(int Positie);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    template <typename T> void changeLook(T& member, const T& value)
    {
        if (member == value)
            return;
        member = value;
        update();
    }
    template <typename T> void changeItemSize(T& member, const T& value)
    {
        if (member == value)
            return;
        member = value;
        relayout();
    }

    qintptr handleWorkerMessage(const WindowMessage& message);
    void scanItemFound(int serial);
    void scanDone(int serial);
    void thumbnailDone();
    void updateCellsOf(const QSet<const TPhoto*>& photos);
    void feedThumbnailWorker();
    void queueThumbnails();
    void forgetJob(quint64 id);
    void forgetPhoto(TPhoto& photo);
    void markChanged(TPhoto& photo);
    void cachePicture(const TPhoto& photo, const QImage& picture);
    const QImage* pictureOf(const TPhoto& photo) const;
    struct ShellChange
    {
        quint32 event = 0;
        QString first;
        QString second;
    };
    void startScan(std::shared_ptr<const ShellItemIdList> folder);
    void handleShellChange(const ShellChange& change);
    void photoUpdated(const QString& path);
    void photoCreated(const QString& path);
    void resyncWithFolder(const QString& folderPath);
    void removePhotos(const QHash<QString, TPhoto*>& gone);

    void relayout();
    void applyScrollBar(int extent);
    void scrollTo(int position);
    void scrollBarMoved(int position);
    void scrollFocusedIntoView();
    void setFocused(int index, bool forceReport = false);
    void reportFocus(int index, bool force = false);
    void scrollActionTriggered(int action);
    void toggleSelection(int index);
    void releaseAt(const QPoint& point);
    void updateDragMarker(const QPoint& point);
    void dropOnMarker();

    void paintEmpty(QPainter& painter) const;
    void paintGaps(QPainter& painter) const;
    void paintCell(QPainter& painter, const QRect& cell, int index) const;
    void makeCheckBoxPictures();

    grid::GridMetrics mMetrics;
    grid::ScrollAlign mAlign = grid::ScrollAlign::Right;
    grid::GridLayout mLayout;
    QScrollBar* mScrollBar = nullptr;

    QColor mColor{232, 226, 228};
    QColor mItemBGColor{Qt::white};
    QColor mItemSelectedBGColor{232, 208, 168};
    QColor mItemBorderColor{128, 128, 128};
    QColor mItemSelectedBorderColor{144, 112, 0};
    QColor mFocusedSelectedColor{49, 106, 197};
    QColor mUnFocusedSelectedColor{128, 128, 128};
    QColor mPhotoBorderColor{Qt::black};
    QString mNoItemsText;
    bool mShowPhotoBorder = false;
    bool mStepScroll = false;
    bool mAllowSorting = false;

    TPhotoList mPhotos;
    bool mLoading = false;
    bool mSortedByPath = true; // false once a created file was appended at the end
    QString mEmptyText = QStringLiteral("...");
    bool mSelectAll = false;
    // Thumbnail jobs in work, by id; a result whose id is not here is dropped.
    std::unordered_map<quint64, TPhoto*> mInWork;
    quint64 mLastJob = 0;
    // Decoded thumbnails of the cells on and near the screen, by photo serial; the photos
    // keep only their JPEG bytes.
    mutable QCache<quint64, QImage> mPictures;

    std::unique_ptr<TChangeDirThread> mScanWorker;
    std::unique_ptr<TCreateThumbThread> mThumbnailWorker;
    std::shared_ptr<const TChangeDirThread::Request> mRequest;
    int mScanSerial = 0;
    bool mScanRunning = false; // from a scan's request to its end
    std::vector<ShellChange> mHeldChanges;
    ShellChangeNotifier::Registration mRegistration = 0;

    int mFocused = -1;
    int mLastReported = -2; // the first report always happens
    bool mScrollUpdating = false;
    bool mPressed = false;
    bool mDragCandidate = false;
    bool mDragging = false;
    QPoint mPressPoint;
    int mDropSlot = -1;
    QPixmap mChecked;
    QPixmap mUnchecked;
};

#pragma once

#include "ShellItemIdList.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <optional>

// The thumbnail grid. For now it carries the appearance settings the main window gives it
// and shows its empty-folder text; photos, workers and scrolling come with the grid itself.
class TVelkoImageScroller : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int ThumbSize READ thumbSize WRITE setThumbSize)
    Q_PROPERTY(int Padding READ padding WRITE setPadding)
    Q_PROPERTY(int Spacing READ spacing WRITE setSpacing)
    Q_PROPERTY(int ItemBorderWidth READ itemBorderWidth WRITE setItemBorderWidth)
    Q_PROPERTY(bool AllowSorting READ allowSorting WRITE setAllowSorting)
    Q_PROPERTY(QString NoItemsText READ noItemsText WRITE setNoItemsText)
public:
    explicit TVelkoImageScroller(QWidget* parent = nullptr);

    int thumbSize() const { return mThumbSize; }
    void setThumbSize(int size) { mThumbSize = size; }
    int padding() const { return mPadding; }
    void setPadding(int padding) { mPadding = padding; }
    int spacing() const { return mSpacing; }
    void setSpacing(int spacing) { mSpacing = spacing; }
    int itemBorderWidth() const { return mItemBorderWidth; }
    void setItemBorderWidth(int width) { mItemBorderWidth = width; }
    bool allowSorting() const { return mAllowSorting; }
    void setAllowSorting(bool allow) { mAllowSorting = allow; }

    QColor itemBGColor() const { return mItemBGColor; }
    void setItemBGColor(const QColor& color) { mItemBGColor = color; }
    QColor itemSelectedBGColor() const { return mItemSelectedBGColor; }
    void setItemSelectedBGColor(const QColor& color) { mItemSelectedBGColor = color; }
    QColor focusedSelectedColor() const { return mFocusedSelectedColor; }
    void setFocusedSelectedColor(const QColor& color) { mFocusedSelectedColor = color; }
    QColor unFocusedSelectedColor() const { return mUnFocusedSelectedColor; }
    void setUnFocusedSelectedColor(const QColor& color) { mUnFocusedSelectedColor = color; }

    QString noItemsText() const { return mNoItemsText; }
    void setNoItemsText(const QString& text);

    // The folder whose photos are shown.
    void SetFolder(const ShellItemIdList& folder, bool selectAll);
    const std::optional<ShellItemIdList>& folder() const { return mFolder; }
    void Rescan() {}
    void SetAllSelected(bool) {}

signals:
    void OnItemDblClick();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int mThumbSize = 96;
    int mPadding = 4;
    int mSpacing = 8;
    int mItemBorderWidth = 1;
    bool mAllowSorting = false;
    QColor mItemBGColor = Qt::white;
    QColor mItemSelectedBGColor = Qt::blue;
    QColor mFocusedSelectedColor = Qt::red;
    QColor mUnFocusedSelectedColor = Qt::gray;
    QString mNoItemsText;
    std::optional<ShellItemIdList> mFolder;
};

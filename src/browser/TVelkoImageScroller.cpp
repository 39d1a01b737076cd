#include "TVelkoImageScroller.h"

#include <QPainter>

TVelkoImageScroller::TVelkoImageScroller(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
}

void TVelkoImageScroller::setNoItemsText(const QString& text)
{
    mNoItemsText = text;
    update();
}

void TVelkoImageScroller::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(mPadding, mPadding, -mPadding, -mPadding),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, mNoItemsText);
}

void TVelkoImageScroller::SetFolder(const ShellItemIdList& folder, bool)
{
    mFolder = folder;
}

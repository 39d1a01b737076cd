#include "WizardLayout.h"

namespace wizard {

QPoint centredTopLeft(const QRect& workArea, QSize window)
{
    const int dx = qMax(0, (workArea.width() - window.width()) / 2);
    const int dy = qMax(0, (workArea.height() - window.height()) / 2);
    return workArea.topLeft() + QPoint(dx, dy);
}

} // namespace wizard

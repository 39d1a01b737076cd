#include "MainWindowMetrics.h"

int maximumTreeWidth(const MainWindowMetrics& m)
{
    return m.windowMinimumWidth -
           (m.leftSpacerWidth + m.splitterWidth + 2 * m.gridLeftSpacerWidth + 2 * m.gridPadding +
            2 * m.gridSpacing + m.gridThumbSize + m.commandColumnWidth + m.verticalScrollBarWidth) -
           2 * m.borderWidth;
}

int labelTopBesideButton(int buttonTop, int buttonHeight, int labelHeight)
{
    return buttonTop + (buttonHeight - labelHeight) / 2;
}

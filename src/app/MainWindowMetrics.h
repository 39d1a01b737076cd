#pragma once

// The numbers the main window's tree limit is made of.
struct MainWindowMetrics
{
    int windowMinimumWidth = 652;
    int leftSpacerWidth = 10;
    int splitterWidth = 4;
    int gridLeftSpacerWidth = 4;
    int gridPadding = 6;
    int gridSpacing = 12;
    int gridThumbSize = 92;
    int commandColumnWidth = 153;
    int verticalScrollBarWidth = 16;
    int borderWidth = 1;
};

// The widest the folder tree may be dragged: with the window at its minimum size at least
// one thumbnail column stays visible.
int maximumTreeWidth(const MainWindowMetrics& metrics);

// The top of a label centred beside a button of the given top and height.
int labelTopBesideButton(int buttonTop, int buttonHeight, int labelHeight);

#pragma once

#include <QString>
#include <QStringList>

// The program's main routine: single instance, splash, language, the long-lived windows,
// the message hook, the command line's drive request, the message loop.
int runFotodesk(int& argc, char** argv);

// The drive named by the command line's first argument, made absolute so that the first
// copy, which runs in another folder, understands it; empty when there is none.
QString driveArgument(const QStringList& arguments);

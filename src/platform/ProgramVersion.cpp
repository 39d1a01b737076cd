#include "ProgramVersion.h"

QString ProgramFileVersion()
{
    return QStringLiteral(VELKO_FILE_VERSION).left(100);
}

#include "AppResources.h"

#include <QtGlobal>

static void initAppResourcesOutsideNamespace()
{
    Q_INIT_RESOURCE(app);
}

void initAppResources()
{
    static const bool done = (initAppResourcesOutsideNamespace(), true);
    Q_UNUSED(done);
}

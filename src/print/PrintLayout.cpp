#include "PrintLayout.h"

bool BuildPrintLayout(const TPrintPhotoObjectRefs&, const PrintLayoutRequest&,
                      TPrintPageList& pages, PrintLayoutResults& results)
{
    pages.assign(1, TPrintPage());
    results = PrintLayoutResults();
    return false;
}

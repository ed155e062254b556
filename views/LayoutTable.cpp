#include "LayoutTable.h"

namespace LayoutTable {

QFont FormFont()
{
    QFont f;
    f.setFamilies({"DejaVu Sans", "Liberation Sans"});
    f.setPixelSize(11);
    return f;
}

} // namespace LayoutTable

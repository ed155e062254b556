#pragma once
// What the graph-scale dialog needs of Quorel's main window.
#include "views/Filter.h"

namespace Acquisition {

// The colour-scale fields and EnableControls of the current main window (MainFrm); none while
// there is no main window.
TScaleFields MainFrmScale();

} // namespace Acquisition

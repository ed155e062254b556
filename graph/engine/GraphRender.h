#pragma once
#include "GraphObject.h"
#include <functional>

class QPainter;

// The text of a grid number as the program wants it (axis type 0 for the Y axis, 2 for the X axis).
using TGridLabelFn = std::function<QString(int axisType, double value, const QString& text)>;

// Draws the object's graph at the given size with the painter's origin at its top-left corner, and
// tells where the plotting area and the axes went. Grid numbers of the axes whose custom numbers
// are asked for pass through customLabel when one is given. Throws std::bad_alloc, the picture
// left unfinished, when the memory cannot hold what the drawing needs.
void RenderGraph(const TGraphObject& object, QPainter& painter, int width, int height, TGraphLayout& layout,
                 const TGridLabelFn& customLabel = {});

// The Qt colour of an engine colour value 0x00BBGGRR.
QColor EngineColor(std::uint32_t colorRef);

// Colour band of a contour value: bands of equal width from a base aligned on that width.
struct TContourBands {
    double Base = 0, Width = 1;
    int Count = 1;
    int Band(double z) const;
};

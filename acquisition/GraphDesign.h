#pragma once
#include <QStringList>

class PESGraph;

// The look the two graphs of the main window are built with: titles, axes, colours, fonts,
// limits. The survey sets a few of these again when it starts; the rest stay as given here.
namespace Acquisition {

// Writes the design values into a graph in the order in which a stored window loads its
// properties, then lets the graph re-initialise from them.
void LoadPseudoSectionDesign(PESGraph& graph);
void LoadProfileDesign(PESGraph& graph);

// Design values whose name is no stored property of the graph control (none, unless the table
// has a typing error: such a value would silently not be set).
QStringList UnknownDesignNames();

} // namespace Acquisition

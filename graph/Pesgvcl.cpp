#include "Pesgvcl.h"

PESGraph::PESGraph(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
}

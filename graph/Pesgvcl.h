#pragma once
#include <QWidget>

// The windowed graph control that hosts one object of the graph engine.
class PESGraph : public QWidget {
    Q_OBJECT
public:
    explicit PESGraph(QWidget* parent = nullptr);
};

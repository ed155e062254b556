#pragma once
#include <QWidget>

namespace Editor {

// QuorelIni's main window: the editor of the setup file.
class TMainFrm : public QWidget {
    Q_OBJECT
public:
    explicit TMainFrm(QWidget* owner = nullptr);
};

} // namespace Editor

extern Editor::TMainFrm* MainFrm;

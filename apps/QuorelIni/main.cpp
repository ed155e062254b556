#include "editor/Main.h"
#include "platform/Application.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    try {
        Application->Title = "QuorelIni";
        QApplication::setApplicationName("QuorelIni");
        Editor::TMainFrm mainFrm;
        mainFrm.show();
        app.exec();
    } catch (const std::exception& e) {
        Application->ShowException(e);
    }
    return 0;
}

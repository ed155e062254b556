#include "editor/Main.h"
#include "platform/Application.h"
#include "views/Schema.h"
#include "views/Schema20.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    try {
        Application->Title = Editor::Title;
        QApplication::setApplicationName("QuorelIni");
        auto* mainFrm = new Editor::TMainFrm();
        // The cable views live for the whole run; the main window owns them.
        new TSchemaFrm(mainFrm);
        new TSchema20Frm(mainFrm);
        if (QScreen* screen = QGuiApplication::primaryScreen())
            mainFrm->move(screen->availableGeometry().center() - mainFrm->rect().center());
        mainFrm->show();
        app.exec();
        delete mainFrm;
    } catch (const std::exception& e) {
        Application->ShowException(e);
    }
    return 0;
}

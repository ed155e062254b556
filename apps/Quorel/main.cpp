#include "acquisition/AcquisitionFiles.h"
#include "acquisition/Main.h"
#include "acquisition/MainCommands.h"
#include "platform/Application.h"
#include "views/Schema.h"
#include "views/Schema20.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char** argv)
{
    // A file-size limit then fails the write like a full disk, which the survey reports and
    // survives, instead of ending the program inside a cycle.
    Acquisition::FileSizeLimitFailsWrites();
    QApplication app(argc, argv);
    try {
        Application->Title = "Quorel";
        QApplication::setApplicationName("Quorel");
        Application->HelpFile = "";
        auto* mainFrm = new Acquisition::TMainFrm();
        // An error of the creation event is shown like any event's; the window still opens.
        try {
            mainFrm->FormCreate(mainFrm);
        } catch (const std::exception& e) {
            Application->ShowException(e);
        }
        // The graph-scale dialog lives for the whole run, hidden between showings.
        FilterFrm = new TFilterFrm(mainFrm, Acquisition::MainFrmScale);
        // The cable views live for the whole run; the main window owns them.
        new TSchemaFrm(mainFrm);
        new TSchema20Frm(mainFrm);
        if (QScreen* screen = QGuiApplication::primaryScreen())
            mainFrm->move(screen->availableGeometry().center() - mainFrm->rect().center());
        mainFrm->show();
        const int rc = app.exec();
        delete mainFrm;
        (void)rc;
    } catch (const std::exception& e) {
        Application->ShowException(e);
    }
    return 0;
}

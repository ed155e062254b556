// Power off in the middle of a survey, whatever the survey was doing: the window is left as the
// user can go on from, and the next Power On waits for Start as a fresh connection does.
#include "SurveyFixture.h"
#include "acquisition/Main.h"
#include "link/Portcom.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <string>

using Acquisition::TMainFrm;

namespace {

// What the user finds of the survey's commands and of the GPS and sounder boxes.
struct SurveyControls {
    bool Start = false, Pause = false, PauseDown = false, Stop = false;
    std::string AtGpsBox, AtSounderBox; // the control the user reaches where each box is
    bool GpsBoxEnabled = false, SounderBoxEnabled = false;
    bool operator==(const SurveyControls&) const = default;
};

std::ostream& operator<<(std::ostream& os, const SurveyControls& c)
{
    return os << "start " << c.Start << ", pause " << c.Pause << (c.PauseDown ? " (down)" : "") << ", stop " << c.Stop
              << ", at the GPS box " << c.AtGpsBox << (c.GpsBoxEnabled ? "" : " (box disabled)") << ", at the sounder box "
              << c.AtSounderBox << (c.SounderBoxEnabled ? "" : " (box disabled)");
}

// The control on top at a box's check mark (its right end: the text is left of the box).
std::string onTopAt(const QCheckBox* box)
{
    const QRect r = box->geometry();
    const QWidget* top = box->parentWidget()->childAt(QPoint(r.right() - 4, r.center().y()));
    return top ? top->objectName().toStdString() : "nothing";
}

SurveyControls controlsOf(const TMainFrm& w)
{
    SurveyControls c;
    c.Start = w.NewGpsBtn->isEnabled();
    c.Pause = w.PauseBtn->isEnabled();
    c.PauseDown = w.PauseBtn->isChecked();
    c.Stop = w.StopBtn->isEnabled();
    c.AtGpsBox = onTopAt(w.GpsConnectedCB);
    c.AtSounderBox = onTopAt(w.SounderCB);
    c.GpsBoxEnabled = w.GpsConnectedCB->isEnabled();
    c.SounderBoxEnabled = w.SounderCB->isEnabled();
    return c;
}

class PowerOffTest : public SurveyTest {
protected:
    int downloads() const
    {
        const QStringList events = instrument->EventNames();
        return static_cast<int>(std::count_if(events.begin(), events.end(), [](const QString& e) { return e.startsWith("block end"); }));
    }
};

TEST_F(PowerOffTest, LeavesNothingToStartAndTheNextConnectionAsAFreshOne)
{
    enum class During { Cycling, CyclingPaused, WaitingForStart };
    const struct {
        const char* what;
        During during;
        bool lineGone; // the cable pulled before Power off: its Escape fails
    } rows[] = {
        {"Power off while cycling", During::Cycling, false},
        {"Power off while cycling, with Pause down", During::CyclingPaused, false},
        {"Power off while cycling, the line gone", During::Cycling, true},
        {"Power off while waiting for Start", During::WaitingForStart, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        DropWindow();
        dialogs.Calls.clear();
        serve();
        TMainFrm& w = start();
        SurveyControls fresh;
        const auto powerOff = [&w] { w.PowerAction->trigger(); };
        const QString file = dir.File(QString("survey%1").arg(&row - rows));
        if (row.during == During::WaitingForStart) {
            run({{[this] { return waitingForStart(); }, [&] {
                      fresh = controlsOf(w);
                      powerOff();
                  }}});
        } else {
            run({{[this] { return waitingForStart(); }, [&] {
                      fresh = controlsOf(w);
                      dialogs.AnswerSave(file);
                      w.Action2->trigger();
                  }},
                 // Once the sounder's depth is shown over its box.
                 {[&] { return cycles() >= 3 && w.SounderLblx->isVisibleTo(&w); }, [&] {
                      if (row.during == During::CyclingPaused)
                          w.PauseBtn->click();
                      if (row.lineGone)
                          instrument->DropLine();
                      powerOff();
                  }}});
        }
        powerOn();
        if (!row.lineGone)
            ASSERT_TRUE(instrument->WaitForEvent("escape", 5000)) << instrument->EventNames().join(", ").toStdString();
        EXPECT_EQ(fresh.AtSounderBox, "SounderCB");
        EXPECT_TRUE(fresh.Start && fresh.Pause && fresh.Stop) << fresh;

        // Down: nothing to start, pause or stop; the connect controls where New survey would be.
        EXPECT_LE(ActivePort->GetState(), 0);
        EXPECT_FALSE(w.ConnectGb->isHidden());
        EXPECT_TRUE(w.NewSurveyBtn->isHidden());
        const SurveyControls down = controlsOf(w);
        EXPECT_FALSE(down.Start || down.Pause || down.PauseDown || down.Stop) << down;
        EXPECT_EQ(down.AtGpsBox, "GpsConnectedCB");
        EXPECT_EQ(down.AtSounderBox, "SounderCB");

        // F3 has no survey to start: no file dialog, no file name shown.
        const QString shownName = w.FilenameEdt->text();
        const size_t questions = dialogs.Calls.size();
        dialogs.AnswerSave(dir.File("nowhere"));
        w.Action2->trigger();
        EXPECT_EQ(dialogs.Calls.size(), questions) << dialogs.Calls.back().Kind.toStdString();
        EXPECT_EQ(w.FilenameEdt->text().toStdString(), shownName.toStdString());
        dialogs.Script.clear();

        // Power On again: waiting for Start as on the first connection.
        if (row.lineGone) { // the instrument back, on a new terminal
            serve();
            delete ActivePort;
            ActivePort = new TPortCOM(&w);
        }
        SurveyControls again;
        const int before = downloads();
        run({{[&] { return established() && downloads() >= before + 2; }, [&] {
                  again = controlsOf(w);
                  powerOff();
              }}});
        powerOn();
        EXPECT_EQ(again, fresh);
        EXPECT_TRUE(again.SounderBoxEnabled);
    }
}

} // namespace

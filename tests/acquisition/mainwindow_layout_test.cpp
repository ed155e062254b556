#include "WindowFixture.h"
#include "acquisition/Main.h"
#include "acquisition/MainLayout.h"
#include "graph/Pesgvcl.h"
#include "link/Portcom.h"
#include "link/Portvirt.h"
#include "platform/Application.h"
#include "platform/Exception.h"
#include "platform/Registry.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"
#include "views/Glyphs.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <set>

using Acquisition::TMainFrm;
namespace L = Acquisition::Layout;

namespace {

class MainWindowLayout : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        NewWindow();
    }
    QWidget* widget(const QString& name) const { return frm->findChild<QWidget*>(name); }
    // Shown and active, so that the window's shortcuts and key handling work.
    void showActive()
    {
        frm->show();
        frm->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frm.get()));
    }

};

QString caption(QWidget* w)
{
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    return QString();
}

bool isKind(QWidget* w, L::Kind kind)
{
    switch (kind) {
    case L::Kind::GroupBox: return qobject_cast<QGroupBox*>(w);
    case L::Kind::Panel: return w->metaObject() == &QFrame::staticMetaObject;
    case L::Kind::ScrollBox: return qobject_cast<QScrollArea*>(w);
    case L::Kind::Label: return w->metaObject() == &QLabel::staticMetaObject;
    case L::Kind::StaticText:
    case L::Kind::ValueDisplay:
    case L::Kind::Warning: return qobject_cast<TStaticText*>(w);
    case L::Kind::SpeedButton: return qobject_cast<QToolButton*>(w);
    case L::Kind::BitBtn: return qobject_cast<QPushButton*>(w);
    case L::Kind::Edit: return qobject_cast<QLineEdit*>(w);
    case L::Kind::CheckBox: return qobject_cast<QCheckBox*>(w);
    case L::Kind::RadioButton: return qobject_cast<QRadioButton*>(w);
    case L::Kind::Image: return qobject_cast<TImage*>(w);
    case L::Kind::Animation: return qobject_cast<TAnimate*>(w);
    case L::Kind::TrackBar: return qobject_cast<QSlider*>(w);
    case L::Kind::Graph: return qobject_cast<PESGraph*>(w);
    case L::Kind::StatusLine: return qobject_cast<TStatusLine*>(w);
    }
    return false;
}

// The nearest ancestor that is a control of the table (a scroll box's rows sit in its content).
QString tableParent(QWidget* w)
{
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (p->objectName() == "MainFrm" || L::Find(p->objectName()))
            return p->objectName();
    return QString();
}

TEST_F(MainWindowLayout, TheTableHoldsEveryControlOfTheWindowAndNothingElse)
{
    // The window's vocabulary, written out independently of the table.
    QStringList names = {
        "SelectGB", "StartConfigGB", "PSeudoGB", "PowerOnOffBtn", "ConnectGb", "Label1", "ConfigurationFileTxt",
        "OpenConfigurationFileBtn", "SpeedButton1", "NewSurveyBtn", "Image2", "RsOffImg", "RsOnImg", "Animate1",
        "MainGB", "FilenameLbl", "FilenameEdt", "SimulationBtn", "SimulationLbl", "BitBtn4", "BitBtn3",
        "VarnokParametersGB", "TimeLbl", "TimeEdt", "TxVoltage", "TxVoltageEdt", "AddDistanceChk",
        "TxVoltageCheckBtn", "RangePanel", "Range15Rb", "RangeLbl", "Range5Rb", "IpDataChk", "ChannelLbl",
        "ChannelEdt", "SwitchRB", "ViewCableBtn", "Label19", "Label18", "CaLbl", "CaEdt", "YCaEdt", "CbLbl",
        "CbEdt", "YCbEdt", "ScrollBox2", "PanelP11_22", "GroupBox2", "GpsConnectedCB", "GpsDisconnectLbl",
        "SounderCB", "SounderLblx", "SounderDisconnectLbl", "AltitudeLblx", "Label17", "Speedtxt", "Label4",
        "BitBtn5", "DistanceLblx", "Label16", "MinDistanceLbl", "NewRefLblx", "GroupBox3", "Label5", "InLblx",
        "ScrollBox1", "PanelV11_20", "ShowVp", "ShowRho", "NewGpsBtn", "PauseBtn", "StopBtn", "Panel2",
        "MarkImg", "Panel1", "VisibleRB", "Label2", "SMax", "Label3", "SMin", "BitBtn7", "FilterBtn",
        "PESGraph1", "PESGraph2"};
    for (int i = 1; i <= 21; ++i)
        names << (i <= 11 ? QString("P%1Lbl").arg(i) : QString("Label%1").arg(i + 18)) << QString("P%1Edt").arg(i)
              << QString("YP%1Edt").arg(i);
    for (int i = 1; i <= 20; ++i)
        names << QString("Label%1").arg(i <= 10 ? i + 5 : i + 9) << QString("V%1Lblx").arg(i);

    QStringList inTable;
    for (const L::Control& c : L::Controls())
        inTable << c.Name;
    std::sort(names.begin(), names.end());
    std::sort(inTable.begin(), inTable.end());
    EXPECT_EQ(inTable, names);
    EXPECT_EQ(std::set<QString>(inTable.begin(), inTable.end()).size(), size_t(inTable.size())) << "a name twice";
}

TEST_F(MainWindowLayout, EveryControlIsBuiltWithItsKindPlaceCaptionHintAndFirstState)
{
    for (const L::Control& c : L::Controls()) {
        SCOPED_TRACE(c.Name.toStdString());
        QWidget* w = widget(c.Name);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(isKind(w, c.Type)) << w->metaObject()->className();
        EXPECT_EQ(tableParent(w), c.Parent);
        EXPECT_EQ(w->geometry(), c.Bounds);

        const QAction* action = c.Action.isEmpty() ? nullptr : frm->findChild<QAction*>(c.Action);
        if (!c.Action.isEmpty()) {
            ASSERT_NE(action, nullptr);
        }
        const QString text = !c.Caption.isNull() ? c.Caption : action ? action->text() : QString();
        EXPECT_EQ(caption(w), text);
        const QString hint = !c.Hint.isNull() ? c.Hint : action ? action->property("Hint").toString() : QString();
        EXPECT_EQ(w->property("Hint").toString(), hint);
        EXPECT_EQ(w->toolTip(), c.ShowHint || action ? hint : QString());

        EXPECT_EQ(w->isHidden(), bool(c.Flags & L::Hidden));
        EXPECT_EQ(w->testAttribute(Qt::WA_ForceDisabled), bool(c.Flags & L::Disabled));
        EXPECT_EQ(w->layoutDirection() == Qt::RightToLeft, bool(c.Flags & L::TextLeft));
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_EQ(b->isChecked(), bool(c.Flags & L::Checked));
            if (c.Flags & L::Latching) {
                EXPECT_TRUE(b->isCheckable());
            }
            if (c.Glyph && c.Type != L::Kind::CheckBox) {
                EXPECT_FALSE(b->icon().isNull());
            }
        }
        if (auto* image = qobject_cast<TImage*>(w); image && c.Glyph) {
            EXPECT_FALSE(image->Picture().isNull());
        }
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << "a text that looks like markup stays text";
        }
    }
}

TEST_F(MainWindowLayout, WindowGroupsAndGraphsStandWhereTheDesignPutsThem)
{
    EXPECT_EQ(frm->objectName(), "MainFrm");
    EXPECT_EQ(frm->windowTitle(), "Quorel");
    EXPECT_EQ(frm->size(), QSize(1019, 699));
    EXPECT_FALSE(frm->windowIcon().isNull());
    EXPECT_EQ(frm->font().pixelSize(), 11);

    EXPECT_EQ(frm->SelectGB->geometry(), QRect(0, 0, 1019, 57));
    EXPECT_EQ(frm->StartConfigGB->geometry(), QRect(0, 57, 361, 699 - 57));
    EXPECT_EQ(frm->PSeudoGB->geometry(), QRect(361, 57, 1019 - 361, 699 - 57));
    const QRect inside = frm->PSeudoGB->rect();
    EXPECT_EQ(frm->Panel1->height(), 50);
    EXPECT_EQ(frm->PESGraph2->height(), 146);
    EXPECT_GE(frm->PESGraph2->geometry().bottom(), inside.bottom() - 2);
    EXPECT_GE(frm->PESGraph2->width(), inside.width() - 4);
    EXPECT_EQ(frm->PESGraph1->geometry().top(), frm->Panel1->geometry().bottom() + 1);
    EXPECT_EQ(frm->PESGraph1->geometry().bottom() + 1, frm->PESGraph2->geometry().top());
    EXPECT_EQ(frm->FilenameEdt->width(), 409);
    EXPECT_EQ(frm->RsOffImg->size(), QSize(16, 16));
    EXPECT_EQ(frm->Image2->size(), QSize(47, 15));
    EXPECT_LT(frm->BitBtn4->y(), frm->BitBtn3->y());
    EXPECT_EQ(frm->BitBtn4->x(), frm->BitBtn3->x());

    // Track bars of the colour scale.
    EXPECT_EQ(frm->SMax->minimum(), 2);
    EXPECT_EQ(frm->SMax->maximum(), 50);
    EXPECT_EQ(frm->SMax->value(), 50);
    EXPECT_EQ(frm->SMax->tickPosition(), QSlider::TicksAbove);
    EXPECT_EQ(frm->SMin->minimum(), 0);
    EXPECT_EQ(frm->SMin->maximum(), 48);
    EXPECT_EQ(frm->SMin->value(), 0);
    EXPECT_EQ(frm->SMin->tickPosition(), QSlider::TicksBelow);
    EXPECT_EQ(frm->SMin->tickInterval(), 1);
    EXPECT_EQ(frm->SMax->tickInterval(), 1);

    EXPECT_FALSE(frm->Animate1->Active());
    EXPECT_EQ(frm->Animate1->StopFrame, 8);
    EXPECT_GT(int(frm->Animate1->Frames.size()), 8);
    EXPECT_TRUE(frm->BitBtn7->isDefault());
}

TEST_F(MainWindowLayout, CaptionsAreReadableAndControlsOnlyShareAPlaceByDesign)
{
    for (const L::Control& c : L::Controls()) {
        SCOPED_TRACE(c.Name.toStdString());
        QWidget* w = widget(c.Name);
        const QFontMetrics fm = w->fontMetrics();
        const QString text = caption(w).remove('&');
        if (auto* g = qobject_cast<QGroupBox*>(w)) {
            EXPECT_LE(fm.horizontalAdvance(text) + 12, g->width());
        } else if (auto* l = qobject_cast<QLabel*>(w); l && !text.isEmpty()) {
            const QRect area = l->contentsRect();
            if (l->wordWrap()) {
                EXPECT_LE(l->heightForWidth(l->width()), l->height());
                EXPECT_GT(l->heightForWidth(l->width()), fm.height()) << "meant to wrap";
            } else {
                EXPECT_LE(fm.horizontalAdvance(text), area.width());
                EXPECT_LE(fm.tightBoundingRect(text).height(), area.height());
            }
        } else if (auto* b = qobject_cast<QAbstractButton*>(w); b && text.isEmpty()) {
            EXPECT_LE(b->iconSize().width() + 4, b->width()); // a picture only
            EXPECT_LE(b->iconSize().height() + 4, b->height());
        } else if (b) {
            EXPECT_LE(w->sizeHint().width(), w->width());
            EXPECT_LE(w->sizeHint().height(), w->height() + 2);
        } else if (qobject_cast<QLineEdit*>(w)) {
            EXPECT_LE(w->minimumSizeHint().height(), w->height());
        }

        // Inside the parent, below a group's caption.
        if (const L::Control* parent = L::Find(c.Parent); parent && parent->Type != L::Kind::ScrollBox) {
            EXPECT_TRUE(QRect(QPoint(0, 0), parent->Bounds.size()).contains(c.Bounds)) << "outside its parent";
            if (parent->Type == L::Kind::GroupBox && !parent->Caption.isEmpty()) {
                EXPECT_GE(c.Bounds.top(), widget(c.Parent)->fontMetrics().height());
            }
        }
    }
    const auto& table = L::Controls();
    for (size_t i = 0; i < table.size(); ++i)
        for (size_t j = i + 1; j < table.size(); ++j) {
            const L::Control &a = table[i], &b = table[j];
            if (a.Parent != b.Parent || !a.Bounds.intersects(b.Bounds))
                continue;
            const bool byDesign = a.Over == b.Name || b.Over == a.Name || (!a.Over.isEmpty() && a.Over == b.Over);
            EXPECT_TRUE(byDesign) << a.Name.toStdString() << " overlaps " << b.Name.toStdString();
        }
}

TEST_F(MainWindowLayout, ValueDisplaysAndWarningsHaveTheirOwnLook)
{
    QStringList values = {"Speedtxt"};
    for (auto* t : frm->findChildren<TStaticText*>())
        if (t->objectName().endsWith("Lblx"))
            values << t->objectName();
    ASSERT_EQ(values.size(), 1 + 5 + 20);
    for (const QString& name : values) {
        SCOPED_TRACE(name.toStdString());
        auto* t = frm->findChild<TStaticText*>(name);
        EXPECT_EQ(L::Find(name)->Type, L::Kind::ValueDisplay);
        EXPECT_EQ(t->text(), "0");
        EXPECT_EQ(t->frameShadow(), QFrame::Sunken);
        EXPECT_EQ(t->alignment(), Qt::AlignCenter);
        EXPECT_TRUE(t->autoFillBackground());
        EXPECT_EQ(t->palette().color(QPalette::Window), QColor(Qt::black));
        EXPECT_EQ(t->palette().color(QPalette::WindowText), QColor(0, 255, 0));
        EXPECT_TRUE(t->font().bold());
        EXPECT_EQ(t->font().families().value(0), "Arial");
        EXPECT_EQ(t->font().pixelSize(), 19);
    }
    for (const char* name : {"GpsDisconnectLbl", "SounderDisconnectLbl", "SimulationLbl"}) {
        SCOPED_TRACE(name);
        auto* t = frm->findChild<TStaticText*>(name);
        EXPECT_EQ(t->frameShadow(), QFrame::Sunken);
        EXPECT_EQ(t->palette().color(QPalette::Window), QColor(255, 0, 0));
        EXPECT_EQ(t->palette().color(QPalette::WindowText), QColor(Qt::white));
        EXPECT_TRUE(t->font().bold());
        EXPECT_EQ(t->font().pixelSize(), 16);
    }
    EXPECT_EQ(frm->ConfigurationFileTxt->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(frm->MainGB->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_EQ(frm->FilenameEdt->palette().color(QPalette::WindowText), QColor(0, 0, 128));
}

TEST_F(MainWindowLayout, HintsAreShownOnlyWhereTheDesignShowsThem)
{
    const struct {
        const char* name;
        const char* hint;
        bool shown;
    } cases[] = {
        {"OpenConfigurationFileBtn", "Open file", false}, {"BitBtn4", "Help", false},
        {"BitBtn3", "About", false}, {"SimulationBtn", "Simulation mode", false},
        {"RangeLbl", "Max input range", false}, {"PowerOnOffBtn", "Power On/Off", true},
        {"NewGpsBtn", "Start acquisition", true}, {"StopBtn", "Stop acquisition", true},
        {"SpeedButton1", "Modify value", true}, {"Image2", "Check USB", true},
        {"ViewCableBtn", "View cable connections", true}, {"MinDistanceLbl", "Minimun distance between storage", true},
        {"Panel2", "Press <F5...F9> to insert mark", true}, {"MarkImg", "Mark pending <F5...F9>", true},
        {"ShowVp", "", false}, {"ShowRho", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* w = widget(c.name);
        EXPECT_EQ(w->property("Hint").toString(), c.hint);
        EXPECT_EQ(w->toolTip(), c.shown ? QString(c.hint) : QString());
    }
}

TEST_F(MainWindowLayout, TheActionListHoldsTenActionsOnF2ToF11)
{
    const struct {
        const char* name;
        const char* caption;
        const char* hint;
        Qt::Key key;
    } expected[] = {
        {"PowerAction", "Power On", "Power On/Off", Qt::Key_F2},
        {"Action2", "Start", "Start acquisition", Qt::Key_F3},
        {"Action4", "Stop", "Stop acquisition", Qt::Key_F4},
        {"Mark5", "Mark5", "Insert Mark", Qt::Key_F5},
        {"Mark6", "Mark6", "Insert Mark", Qt::Key_F6},
        {"Mark7", "Mark7", "Insert Mark", Qt::Key_F7},
        {"Mark8", "Mark8", "Insert Mark", Qt::Key_F8},
        {"Mark9", "Mark9", "Insert incremented Mark", Qt::Key_F9},
        {"VpAction", "Vp (mV)", "", Qt::Key_F10},
        {"RhoAction", "Rho (Ohm.m)", "", Qt::Key_F11},
    };
    ASSERT_EQ(frm->actions().size(), 10);
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].name);
        QAction* a = frm->actions()[qsizetype(i)];
        EXPECT_EQ(a->objectName(), expected[i].name);
        EXPECT_EQ(a->text(), expected[i].caption);
        EXPECT_EQ(a->property("Hint").toString(), expected[i].hint);
        EXPECT_EQ(a->shortcut(), QKeySequence(expected[i].key));
        EXPECT_EQ(a->shortcutContext(), Qt::WindowShortcut);
        EXPECT_TRUE(a->isEnabled());
    }
    // Buttons that keep their own caption beside the action's.
    EXPECT_EQ(frm->NewGpsBtn->text(), "Start <F3>");
    EXPECT_EQ(frm->StopBtn->text(), "Stop <F4>");
    EXPECT_EQ(frm->ShowVp->text(), "Vp (mV)");
    EXPECT_EQ(frm->ShowRho->text(), "Rho (Ohm.m)");
    EXPECT_EQ(frm->PowerOnOffBtn->toolButtonStyle(), Qt::ToolButtonIconOnly);
}

TEST_F(MainWindowLayout, FunctionKeysRunTheirActionsWhateverTheButtonsState)
{
    showActive();
    // Between surveys the link stays open and the buttons are disabled; the keys still work.
    ActivePort = new TPortCOM(frm.get());
    ActivePort->SetState(1);
    for (QWidget* w : std::initializer_list<QWidget*>{frm->NewGpsBtn, frm->StopBtn, frm->ShowVp, frm->ShowRho,
                                                      frm->PauseBtn})
        w->setEnabled(false);
    frm->PowerAction->setEnabled(false); // F2 must not try to connect here

    QTest::keyClick(frm.get(), Qt::Key_F3);
    EXPECT_EQ(frm->AcquisitionMode, 0xAA); // Start ran: GPS and sounder are checked
    QTest::keyClick(frm->TimeEdt, Qt::Key_F4); // also with the focus in an edit box
    EXPECT_EQ(frm->StopRequested, 1);

    for (QAction* a : frm->actions()) {
        SCOPED_TRACE(a->objectName().toStdString());
        QSignalSpy spy(a, &QAction::triggered);
        QTest::keyClick(frm.get(), Qt::Key(a->shortcut()[0].key()));
        EXPECT_EQ(spy.count(), a == frm->PowerAction ? 0 : 1);
    }
}

TEST_F(MainWindowLayout, LinkedButtonsRunTheirActionsAndLatch)
{
    frm->PowerAction->setEnabled(false); // no connection from a test click
    QSignalSpy start(frm->Action2, &QAction::triggered), stop(frm->Action4, &QAction::triggered),
        vp(frm->VpAction, &QAction::triggered), rho(frm->RhoAction, &QAction::triggered);
    frm->NewGpsBtn->click();
    frm->StopBtn->click();
    EXPECT_EQ(start.count(), 1);
    EXPECT_EQ(stop.count(), 1);
    EXPECT_EQ(frm->StopRequested, 1);

    // Latching buttons stay down until clicked again.
    frm->PowerOnOffBtn->click();
    EXPECT_TRUE(frm->PowerOnOffBtn->isChecked());
    frm->PowerOnOffBtn->click();
    EXPECT_FALSE(frm->PowerOnOffBtn->isChecked());
    frm->PauseBtn->click();
    EXPECT_TRUE(frm->PauseBtn->isChecked());
    frm->PauseBtn->click();
    EXPECT_FALSE(frm->PauseBtn->isChecked());

    // Exactly one display button is down.
    frm->ShowVp->click();
    EXPECT_TRUE(frm->ShowVp->isChecked());
    EXPECT_FALSE(frm->ShowRho->isChecked());
    frm->ShowVp->click();
    EXPECT_TRUE(frm->ShowVp->isChecked());
    frm->ShowRho->click();
    EXPECT_FALSE(frm->ShowVp->isChecked());
    EXPECT_TRUE(frm->ShowRho->isChecked());
    EXPECT_EQ(vp.count(), 2);
    EXPECT_EQ(rho.count(), 1);

    // Clicks bound in the table reach their handlers.
    frm->BitBtn4->click();
    ASSERT_EQ(shell.Calls.size(), 1u);
    EXPECT_EQ(shell.Calls[0].Command, HH_DISPLAY_TOPIC);
    dialogs.AnswerOpen(QString());
    frm->OpenConfigurationFileBtn->click();
    ASSERT_FALSE(dialogs.Calls.empty());
    EXPECT_EQ(dialogs.Calls.back().Kind, "OpenFile");
}

TEST_F(MainWindowLayout, AnErrorInAHandlerIsShownAndTheWindowStaysUsable)
{
    // The open dialog fails while "Open file" runs.
    dialogs.Script.push_back({"OpenFile", IDOK, false, {}, [] { throw Exception("Drive not ready"); }});
    dialogs.AnswerMessage(IDOK);
    frm->OpenConfigurationFileBtn->click();
    ASSERT_EQ(dialogs.Calls.size(), 2u);
    EXPECT_EQ(dialogs.Calls[1].Kind, "MessageBox");
    EXPECT_EQ(dialogs.Calls[1].Text, "Drive not ready.");
    EXPECT_EQ(dialogs.Calls[1].Caption, Application->Title);
    EXPECT_EQ(dialogs.Calls[1].Flags, MB_OK | MB_ICONERROR);
    // The window goes on answering.
    dialogs.AnswerOpen(QString());
    frm->OpenConfigurationFileBtn->click();
    EXPECT_EQ(dialogs.Calls.back().Kind, "OpenFile");
    EXPECT_TRUE(dialogs.Unexpected.isEmpty()) << dialogs.Unexpected.join("; ").toStdString();
}

TEST_F(MainWindowLayout, EnterOnAControlThatIsNotAButtonClicksApply)
{
    showActive();
    QSignalSpy apply(frm->BitBtn7, &QPushButton::clicked);
    frm->TimeEdt->setFocus();
    QTest::keyClick(frm->TimeEdt, Qt::Key_Return);
    EXPECT_EQ(apply.count(), 1);
    frm->IpDataChk->setFocus();
    QTest::keyClick(frm->IpDataChk, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(apply.count(), 2);

    // Not from a button, and not while the graphs are hidden.
    frm->TxVoltageCheckBtn->setFocus();
    QTest::keyClick(frm->TxVoltageCheckBtn, Qt::Key_Return);
    EXPECT_EQ(apply.count(), 2);
    frm->PSeudoGB->hide();
    frm->TimeEdt->setFocus();
    QTest::keyClick(frm->TimeEdt, Qt::Key_Return);
    EXPECT_EQ(apply.count(), 2);
}

TEST_F(MainWindowLayout, TheTwoScrollBoxesStayLevel)
{
    showActive();
    QScrollBar* electrodes = frm->ScrollBox2->verticalScrollBar();
    QScrollBar* dipoles = frm->ScrollBox1->verticalScrollBar();
    // Twenty channels: both boxes scroll, over the same range.
    ASSERT_GT(electrodes->maximum(), 0);
    EXPECT_EQ(electrodes->maximum(), dipoles->maximum());
    electrodes->setValue(70);
    EXPECT_EQ(dipoles->value(), 70);
    dipoles->setValue(dipoles->maximum());
    EXPECT_EQ(electrodes->value(), electrodes->maximum());
    // The dipole row P 1-2 stands between the rows of P1 and P2 at any scroll position.
    const int p1 = frm->PEdt[0]->mapTo(frm.get(), QPoint(0, 0)).y(), p2 = frm->PEdt[1]->mapTo(frm.get(), QPoint(0, 0)).y();
    const int v1 = frm->VLblx[0]->mapTo(frm.get(), QPoint(0, 0)).y();
    EXPECT_EQ(v1, (p1 + p2) / 2);

    // Ten channels: the rows fit and nothing scrolls.
    frm->PanelP11_22->hide();
    frm->PanelV11_20->hide();
    QApplication::processEvents();
    EXPECT_EQ(electrodes->maximum(), 0);
    EXPECT_EQ(dipoles->maximum(), 0);
    frm->PanelP11_22->show();
    frm->PanelV11_20->show();
    QApplication::processEvents();
    EXPECT_EQ(electrodes->maximum(), dipoles->maximum());
    EXPECT_GT(electrodes->maximum(), 0);
}

TEST_F(MainWindowLayout, TabGoesFromRowToRowOfTheElectrodeBoxAndNeverToAScrollBox)
{
    showActive();
    ASSERT_FALSE(frm->PanelP11_22->isHidden()) << "all 21 rows";
    QStringList rows;
    for (int i = 1; i <= 21; ++i)
        rows << "P" + QString::number(i) + "Edt" << "YP" + QString::number(i) + "Edt";
    QStringList outOfView;
    const QStringList stops = TabStops(frm->YCbEdt, 200, &outOfView);
    EXPECT_EQ(stops.mid(0, rows.size()).join(" ").toStdString(), rows.join(" ").toStdString());
    // The box scrolls the focused row into view.
    EXPECT_TRUE(outOfView.isEmpty()) << outOfView.join(" ").toStdString();
    // Once round the window and back: no stop is a scroll box.
    EXPECT_TRUE(stops.contains("YCbEdt"));
    EXPECT_FALSE(stops.contains("ScrollBox1"));
    EXPECT_FALSE(stops.contains("ScrollBox2"));
}

TEST_F(MainWindowLayout, PortPicturesAreSevenDistinctPicturesOnAKeyedGround)
{
    ASSERT_EQ(frm->ImageList3.Count(), 7);
    std::vector<QImage> images;
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        const QImage img = frm->ImageList3.GetBitmap(i).toImage();
        EXPECT_EQ(img.size(), QSize(47, 15));
        EXPECT_EQ(img.pixelColor(0, 14), Glyphs::PortGround);
        EXPECT_EQ(img.pixelColor(46, 0), Glyphs::PortGround);
        for (const QImage& other : images)
            EXPECT_NE(img, other);
        images.push_back(img);
    }
    // Shown transparent: the ground is keyed out, the drawing stays.
    frm->Image2->SetPicture(frm->ImageList3.GetBitmap(2));
    const QImage shown = frm->Image2->pixmap().toImage();
    EXPECT_EQ(qAlpha(shown.pixel(0, 14)), 0);
    int opaque = 0;
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 47; ++x)
            opaque += qAlpha(shown.pixel(x, y)) == 255;
    EXPECT_GT(opaque, 20);

    // The power button's states are told apart.
    const QIcon power = frm->PowerOnOffBtn->icon();
    const QImage up = power.pixmap(32, QIcon::Normal, QIcon::Off).toImage();
    EXPECT_NE(up, power.pixmap(32, QIcon::Normal, QIcon::On).toImage());
    EXPECT_NE(up, power.pixmap(32, QIcon::Disabled, QIcon::Off).toImage());
    const QIcon tick = frm->BitBtn7->icon();
    EXPECT_NE(tick.pixmap(16, QIcon::Normal).toImage(), tick.pixmap(16, QIcon::Disabled).toImage());
}

} // namespace

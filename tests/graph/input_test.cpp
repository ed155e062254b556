#include "RecordingEngine.h"
#include "graph/Pesgvcl.h"
#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QPaintEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <sstream>

namespace {

using TMessages = std::vector<std::vector<std::int64_t>>;

std::int64_t PointParam(int x, int y) { return std::int64_t(std::uint32_t(std::uint16_t(x)) | std::uint32_t(std::uint16_t(y)) << 16); }

void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
           Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, buttons, mods);
    QApplication::sendEvent(w, &e);
}
void Press(QWidget* w, QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    Mouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, mods);
}
void Release(QWidget* w, QPoint at) { Mouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton); }
void Move(QWidget* w, QPoint at, Qt::MouseButtons buttons = Qt::NoButton)
{
    Mouse(w, QEvent::MouseMove, at, Qt::NoButton, buttons);
}
// A drag with the left button from one point to another: a zoom where zooming is allowed.
void DragZoom(QWidget* w, QPoint from, QPoint to)
{
    Press(w, from);
    Move(w, to, Qt::LeftButton);
    Release(w, to);
}

// A control on the offscreen platform whose every event handler writes what it received.
class InputTest : public ::testing::Test {
protected:
    InputTest()
    {
        g = new PESGraph(&host);
        g->resize(300, 200);
        host.resize(320, 220);
        host.show();
        auto log = [this](const std::string& s) { events.push_back(s); };
        auto str = [](auto... v) { std::ostringstream o; ((o << v << ' '), ...); std::string s = o.str(); s.pop_back(); return s; };
        g->OnSubsetHotSpot = [=](QObject*, int d, int s) { log(str("Subset", d, s)); };
        g->OnDataHotSpot = [=](QObject*, int d, int s, int p) { log(str("Data", d, s, p)); };
        g->OnGraphHotSpot = [=](QObject*, int d, int a, double x, double y) { log(str("Graph", d, a, x, y)); };
        g->OnGraphAnnotHotSpot = [=](QObject*, int d, int i) { log(str("GraphAnnot", d, i)); };
        g->OnXAxisAnnotHotSpot = [=](QObject*, int d, int i) { log(str("XAxisAnnot", d, i)); };
        g->OnYAxisAnnotHotSpot = [=](QObject*, int d, int i) { log(str("YAxisAnnot", d, i)); };
        g->OnHorzLineAnnotHotSpot = [=](QObject*, int d, int i) { log(str("HorzLineAnnot", d, i)); };
        g->OnVertLineAnnotHotSpot = [=](QObject*, int d, int i) { log(str("VertLineAnnot", d, i)); };
        g->OnMainTitle = [=](QObject*, int d) { log(str("MainTitle", d)); };
        g->OnSubTitle = [=](QObject*, int d) { log(str("SubTitle", d)); };
        g->OnMultiSubTitle = [=](QObject*, int d, int i, int j) { log(str("MultiSubTitle", d, i, j)); };
        g->OnMultiBottomTitle = [=](QObject*, int d, int i, int j) { log(str("MultiBottomTitle", d, i, j)); };
        g->OnYAxisLabel = [=](QObject*, int d, int a, int r) { log(str("YAxisLabel", d, a, r)); };
        g->OnXAxisLabel = [=](QObject*, int d, int t) { log(str("XAxisLabel", d, t)); };
        g->OnYAxis = [=](QObject*, int d, int a, int r, double) { log(str("YAxis", d, a, r)); };
        g->OnXAxis = [=](QObject*, int d, int t, double) { log(str("XAxis", d, t)); };
        g->OnGridNumber = [=](QObject*, int d, int t, int a, double n) { log(str("GridNumber", d, t, a, n)); };
        g->OnTableAnnotation = [=](QObject*, int d, int i, int r, int c) { log(str("Table", d, i, r, c)); };
        g->OnMouseDown = [=](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { log("MouseDown"); };
        g->OnClick = [=](QObject*) { log("Click"); };
        for (auto [event, name] : {std::pair{&g->OnCursorMoved, "CursorMoved"}, {&g->OnZoomIn, "ZoomIn"},
                                   {&g->OnZoomOut, "ZoomOut"}, {&g->OnPreCursorMove, "PreCursorMove"},
                                   {&g->OnCustomizeDlg, "CustomizeDlg"}, {&g->OnPopupMenu, "PopupMenu"},
                                   {&g->OnPreHScroll, "PreHScroll"}, {&g->OnPreVScroll, "PreVScroll"},
                                   {&g->OnParamUpdate, "ParamUpdate"}})
            *event = [=](QObject*) { log(name); };
        g->OnVertScroll = [=](QObject*, TScrollCode c, int& p) { log(str("VertScroll", int(c), p)); p = 999; };
        g->OnHorzScroll = [=](QObject*, TScrollCode c, int& p) { log(str("HorzScroll", int(c), p)); };
        engine.Clear();
    }
    void SetHotSpot(int type, int first, int second)
    {
        THotSpotRecord hs{};
        hs.Type = type;
        hs.First = first;
        hs.Second = second;
        engine.TPEEngine::SetV(g->GethObject(), 2610, &hs, 1);
    }
    std::vector<std::string> Take()
    {
        std::vector<std::string> out;
        out.swap(events);
        return out;
    }

    TQtApp app;
    TRecordingEngine engine;
    TEngineScope scope{engine};
    QWidget host;
    PESGraph* g = nullptr;
    std::vector<std::string> events;
};

struct THotSpotCase {
    int Type;
    std::string Event; // with DblClick 0, first 4, second 6
};

TEST_F(InputTest, HotSpotTypesRaiseTheirEventsOrTheBaseHandling)
{
    engine.PassMessages = false; // the hot spots are the test's, not the engine's
    TGraphPointRecord gp{2, 0, 1.5, -3.25};
    engine.TPEEngine::SetV(g->GethObject(), 3023, &gp, 1);
    g->SetGridHotSpotValue(6, 2.5);
    const std::vector<THotSpotCase> cases = {
        {1, "Subset 0 4"}, {3, "Graph 0 2 1.5 -3.25"}, {5, "Data 0 4 6"}, {6, "GraphAnnot 0 4"},
        {7, "XAxisAnnot 0 4"}, {8, "YAxisAnnot 0 4"}, {9, "HorzLineAnnot 0 4"}, {10, "VertLineAnnot 0 4"},
        {11, "MainTitle 0"}, {12, "SubTitle 0"}, {13, "MultiSubTitle 0 4 6"}, {14, "MultiBottomTitle 0 4 6"},
        {15, "YAxisLabel 0 4 6"}, {16, "XAxisLabel 0 4"}, {17, "YAxis 0 4 6"}, {18, "XAxis 0 4"},
        {19, "GridNumber 0 1 4 2.5"}, {20, "GridNumber 0 2 4 2.5"}, {21, "GridNumber 0 0 4 2.5"},
        {22, "GridNumber 0 3 4 2.5"}, {23, "Table 0 0 4 6"}, {30, "Table 0 7 4 6"}, {42, "Table 0 19 4 6"},
        {0, "MouseDown"}, {2, "MouseDown"}, {4, "MouseDown"}, {43, "MouseDown"}, {-1, "MouseDown"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Type);
        SetHotSpot(c.Type, 4, 6);
        engine.Clear();
        Press(g, {10, 20});
        EXPECT_EQ(Take(), std::vector<std::string>{c.Event});
        EXPECT_EQ(engine.Messages().front(), (std::vector<std::int64_t>{WM_LBUTTONDOWN, MK_LBUTTON, PointParam(10, 20)}));
        Release(g, {10, 20});
        Take();
    }
}

TEST_F(InputTest, DoubleClicksModifiersAndMissingHandlers)
{
    engine.PassMessages = false;
    SetHotSpot(5, 4, 6);
    Mouse(g, QEvent::MouseButtonDblClick, {3, 4}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(Take(), std::vector<std::string>{"Data 1 4 6"});
    EXPECT_EQ(engine.Messages().back()[0], WM_LBUTTONDBLCLK);

    // With Shift held the press is forwarded, but no hot spot is read: the base handling runs.
    engine.Clear();
    Press(g, {3, 4}, Qt::ShiftModifier);
    EXPECT_EQ(Take(), std::vector<std::string>{"MouseDown"});
    EXPECT_EQ(engine.Messages().front()[1], MK_LBUTTON | MK_SHIFT);
    EXPECT_EQ(engine.Last(4), nullptr);
    Release(g, {3, 4});
    EXPECT_EQ(Take(), std::vector<std::string>{"Click"});

    // A hot spot whose event has no handler does nothing at all, not even a click.
    g->OnDataHotSpot = nullptr;
    Press(g, {3, 4});
    Release(g, {3, 4});
    EXPECT_TRUE(Take().empty());
}

TEST_F(InputTest, MouseMovesReachTheEngineOnlyWhenTheyChange)
{
    int moves = 0;
    g->OnMouseMove = [&](QObject*, Qt::KeyboardModifiers, int, int) { ++moves; };
    Move(g, {0, 0});
    Move(g, {5, 7});
    Move(g, {5, 7});
    Move(g, {5, 7}, Qt::LeftButton);
    EXPECT_EQ(engine.Messages(), (TMessages{{WM_MOUSEMOVE, 0, PointParam(5, 7)}, {WM_MOUSEMOVE, MK_LBUTTON, PointParam(5, 7)}}));
    EXPECT_EQ(moves, 4);
}

TEST_F(InputTest, RightReleaseWheelAndKeys)
{
    Mouse(g, QEvent::MouseButtonRelease, {8, 9}, Qt::RightButton, Qt::NoButton, Qt::ControlModifier);
    EXPECT_EQ(engine.Messages().back(), (std::vector<std::int64_t>{WM_RBUTTONDOWN, MK_CONTROL, PointParam(8, 9)}));

    QWheelEvent wheel(QPointF(30, 40), QPointF(g->mapToGlobal(QPoint(30, 40))), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::ShiftModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(g, &wheel);
    EXPECT_EQ(engine.Messages().back(), (std::vector<std::int64_t>{WM_MOUSEWHEEL, MK_SHIFT | (0xFF88 << 16), 0}));

    g->OnKeyDown = [](QObject*, int& key, Qt::KeyboardModifiers) { if (key == 0x25) key = 0x27; };
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    QApplication::sendEvent(g, &down);
    EXPECT_EQ(engine.Messages().back(), (std::vector<std::int64_t>{WM_KEYDOWN, 0x27, 1}));
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Left, Qt::NoModifier);
    QApplication::sendEvent(g, &up);
    EXPECT_EQ(engine.Messages().back()[0], WM_KEYUP);
    EXPECT_EQ(engine.Messages().back()[1], 0x25);
}

TEST_F(InputTest, ParamUpdateMirrorsTheEngineScrollBars)
{
    engine.ScriptedScroll = true;
    engine.ScrollRange[SB_VERT][0] = 1;
    engine.ScrollRange[SB_VERT][1] = 20;
    engine.ScrollPosition[SB_VERT] = 7;
    g->Perform(WM_COMMAND, std::uintptr_t(3961) << 16, g->GethObject());
    EXPECT_EQ(Take(), std::vector<std::string>{"ParamUpdate"});
    QScrollBar* v = g->VertScrollBar();
    EXPECT_EQ(v->minimum(), 1);
    EXPECT_EQ(v->maximum(), 20);
    EXPECT_EQ(v->value(), 7);
    EXPECT_TRUE(v->isVisible());
    EXPECT_FALSE(g->HorzScrollBar()->isVisible());

    // An engine scroll report: the end of a scroll changes nothing, a track moves the bar; the
    // handler's change of the position is dropped.
    g->Perform(WM_VSCROLL, 8 | 12 << 16, g->GethObject());
    EXPECT_TRUE(Take().empty());
    EXPECT_EQ(v->value(), 7);
    g->Perform(WM_VSCROLL, 5 | 12 << 16, g->GethObject());
    EXPECT_EQ(Take(), std::vector<std::string>{"VertScroll 5 12"});
    EXPECT_EQ(v->value(), 12);

    // The control's own bar moved: the engine window hears of it, with lParam 0.
    engine.Clear();
    g->Perform(WM_VSCROLL, 1 | 13 << 16, 0);
    EXPECT_EQ(engine.Messages().back(), (std::vector<std::int64_t>{WM_VSCROLL, 1 | 13 << 16, 0}));

    engine.ScrollRange[SB_VERT][0] = 0;
    engine.ScrollRange[SB_VERT][1] = 0;
    g->Perform(WM_COMMAND, std::uintptr_t(3961) << 16, g->GethObject());
    EXPECT_EQ(v->maximum(), 0);
    EXPECT_EQ(v->value(), 0);
    EXPECT_FALSE(v->isVisible());
}

TEST_F(InputTest, NotificationsOfOtherObjectsAreIgnored)
{
    const std::vector<std::pair<int, std::string>> codes = {
        {3953, "CursorMoved"}, {3966, "ZoomIn"}, {3967, "ZoomOut"}, {3973, "PreCursorMove"}, {3974, "CustomizeDlg"},
        {3975, "PopupMenu"}, {3981, "PreHScroll"}, {3982, "PreVScroll"}, {3990, ""}};
    for (const auto& [code, name] : codes) {
        g->Perform(WM_COMMAND, std::uintptr_t(code) << 16, g->GethObject() + 1);
        EXPECT_TRUE(Take().empty()) << code;
        g->Perform(WM_COMMAND, std::uintptr_t(code) << 16, g->GethObject());
        EXPECT_EQ(Take(), name.empty() ? std::vector<std::string>{} : std::vector<std::string>{name}) << code;
    }
}

TEST_F(InputTest, CustomGridNumberTextComesBackCutToWhatTheRecordHolds)
{
    TGridNumberRecord record{1, 2, 12.5, "12.5"};
    engine.TPEEngine::SetV(g->GethObject(), 3162, &record, 1);
    engine.Clear();
    g->Perform(WM_COMMAND, std::uintptr_t(3979) << 16, g->GethObject());
    EXPECT_TRUE(engine.Calls.empty()); // no handler: nothing read or written

    std::string seen;
    g->OnCustomGridnumbers = [&](QObject*, int type, int axis, double number, std::string& text) {
        std::ostringstream o;
        o << type << ' ' << axis << ' ' << number << ' ' << text;
        seen = o.str();
        text = std::string(300, 'n');
    };
    g->Perform(WM_COMMAND, std::uintptr_t(3979) << 16, g->GethObject());
    EXPECT_EQ(seen, "1 2 12.5 12.5");
    TGridNumberRecord back{};
    engine.TPEEngine::GetV(g->GethObject(), 3162, &back);
    EXPECT_EQ(std::string(back.Text), std::string(47, 'n'));

    engine.TPEEngine::SetInt(g->GethObject(), 2675, 3);
    engine.TPEEngine::SetInt(g->GethObject(), 2676, 9);
    int menu = 0, submenu = 0;
    g->OnCustomMenu = [&](QObject*, int m, int s) { menu = m; submenu = s; };
    g->Perform(WM_COMMAND, std::uintptr_t(3980) << 16, g->GethObject());
    EXPECT_EQ(menu, 3);
    EXPECT_EQ(submenu, 9);
}

TEST_F(InputTest, WithoutAnEngineObjectNothingIsForwardedOrRaised)
{
    TRecordingEngine failing;
    failing.FailCreate = true;
    TEngineScope none(failing);
    QWidget other;
    auto* empty = new PESGraph(&other);
    other.show();
    bool raised = false;
    empty->OnDataHotSpot = [&](QObject*, int, int, int) { raised = true; };
    empty->OnCursorMoved = [&](QObject*) { raised = true; };
    empty->OnCustomGridnumbers = [&](QObject*, int, int, double, std::string&) { raised = true; };
    failing.Clear();
    Press(empty, {5, 5});
    Release(empty, {5, 5});
    Move(empty, {9, 9});
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(empty, &key);
    empty->Perform(WM_COMMAND, std::uintptr_t(3953) << 16, 0);
    empty->Perform(WM_COMMAND, std::uintptr_t(3979) << 16, 0);
    EXPECT_TRUE(failing.Messages().empty());
    EXPECT_EQ(failing.Last(4), nullptr);
    EXPECT_FALSE(raised);
}

// Our own engine behind the control: hot spots from a click on the drawn graph, and the zoom.
class EngineInputTest : public InputTest {
protected:
    EngineInputTest()
    {
        g->SetSubsets(1);
        g->SetPoints(3);
        const float xs[] = {0, 5, 10}, ys[] = {2, 8, 2};
        for (int p = 0; p < 3; ++p) {
            g->SetXData(0, p, xs[p]);
            g->SetYData(0, p, ys[p]);
        }
        g->SetPEactions(sgReinitAndReset);
        QApplication::processEvents();
        layout = engine.Object(g->GethObject())->Layout;
        engine.Clear();
    }
    QPoint At(double x, double y) const
    {
        return QPoint(int(layout.Left + (x - layout.XMin) / (layout.XMax - layout.XMin) * (layout.Right - layout.Left)),
                      int(layout.Top + (layout.YMax - y) / (layout.YMax - layout.YMin) * (layout.Bottom - layout.Top)));
    }
    TGraphLayout layout;
};

TEST_F(EngineInputTest, ClicksFindDataSubsetAndAxisHotSpots)
{
    g->SetAllowDataHotSpots(true);
    g->SetAllowSubsetHotSpots(true);
    g->SetAllowAxisHotSpots(true);
    Press(g, At(5, 8));
    EXPECT_EQ(Take(), std::vector<std::string>{"Data 0 0 1"});
    Release(g, At(5, 8));
    Press(g, At(2.5, 5));
    EXPECT_EQ(Take(), std::vector<std::string>{"Subset 0 0"});
    Release(g, At(2.5, 5));
    double yValue = 0;
    g->OnYAxis = [&](QObject*, int, int, int, double y) { yValue = y; };
    Press(g, QPoint(int(layout.Left) - 10, At(0, 4).y()));
    EXPECT_NEAR(yValue, 4, 0.2);
    Release(g, QPoint(int(layout.Left) - 10, At(0, 4).y()));
    g->SetAllowDataHotSpots(false);
    g->SetAllowSubsetHotSpots(false);
    Press(g, At(5, 8));
    EXPECT_EQ(Take(), std::vector<std::string>{"MouseDown"});
}

TEST_F(EngineInputTest, ZoomsOnlyWhereAllowedAndScrollsTheZoomedView)
{
    auto drag = [&](QPoint from, QPoint to) {
        Press(g, from);
        Move(g, (from + to) / 2, Qt::LeftButton);
        Move(g, to, Qt::LeftButton);
        Release(g, to);
    };
    drag(At(2, 7), At(6, 3));
    EXPECT_EQ(Take(), (std::vector<std::string>{"MouseDown", "Click"})); // sgNoZooming: nothing
    EXPECT_FALSE(g->GetZoomMode());

    g->SetAllowZooming(sgHorzZooming);
    g->SetScrollingHorzZoom(true);
    drag(At(2, 7), At(6, 3));
    const auto zoomed = Take();
    EXPECT_NE(std::find(zoomed.begin(), zoomed.end(), "ZoomIn"), zoomed.end());
    EXPECT_NE(std::find(zoomed.begin(), zoomed.end(), "ParamUpdate"), zoomed.end());
    EXPECT_TRUE(g->GetZoomMode());
    EXPECT_NEAR(g->GetZoomMinX(), 2, 0.2);
    EXPECT_NEAR(g->GetZoomMaxX(), 6, 0.2);
    EXPECT_TRUE(g->HorzScrollBar()->isVisible());
    EXPECT_FALSE(g->VertScrollBar()->isVisible());

    // Moving the control's bar pans the zoomed window; the engine reports the new place.
    const double before = g->GetZoomMinX();
    g->Perform(WM_HSCROLL, SB_PAGEDOWN | 0 << 16, 0);
    const auto scrolled = Take();
    EXPECT_NE(std::find(scrolled.begin(), scrolled.end(), "PreHScroll"), scrolled.end());
    EXPECT_GT(g->GetZoomMinX(), before);
    EXPECT_EQ(g->HorzScrollBar()->value(), engine.TPEEngine::GetScrollPos(g->GethObject(), SB_HORZ));

    g->SetPEactions(sgUndoZoom);
    const auto undone = Take();
    EXPECT_NE(std::find(undone.begin(), undone.end(), "ZoomOut"), undone.end());
    EXPECT_FALSE(g->GetZoomMode());
    EXPECT_FALSE(g->HorzScrollBar()->isVisible());
}

} // namespace

namespace {

TEST_F(EngineInputTest, CustomGridNumbersAskTheControlForEachText)
{
    std::vector<double> asked;
    g->OnCustomGridnumbers = [&](QObject*, int type, int, double number, std::string& text) {
        EXPECT_EQ(type, 0);
        asked.push_back(number);
        text = "n" + text;
    };
    g->SetCustomGridNumbersY(true);
    g->SetPEactions(sgReinitAndReset);
    EXPECT_FALSE(asked.empty());
    g->SetCustomGridNumbersY(false);
    asked.clear();
    g->SetPEactions(sgReinitAndReset);
    EXPECT_TRUE(asked.empty());
}

TEST_F(EngineInputTest, AHandlerMayDestroyTheObjectWhileItsImageIsDrawn)
{
    auto* doomed = new PESGraph(&host);
    doomed->HandleNeeded();
    doomed->SetCustomGridNumbersX(true);
    doomed->OnCustomGridnumbers = [&](QObject*, int, int, double, std::string&) {
        if (doomed) {
            PESGraph* d = doomed;
            doomed = nullptr;
            d->deleteLater();
            engine.Destroy(d->GethObject());
        }
    };
    doomed->SetPEactions(sgResetImage);
    EXPECT_EQ(doomed, nullptr);
    QApplication::processEvents();
}

TEST_F(EngineInputTest, AHandlerMayDestroyTheObjectWhileAScrolledViewIsDrawn)
{
    g->SetAllowZooming(sgHorzZooming);
    g->SetScrollingHorzZoom(true);
    DragZoom(g, At(2, 7), At(6, 3));
    ASSERT_TRUE(g->GetZoomMode());
    Take();
    g->SetCustomGridNumbersX(true);
    const TEngineHandle h = g->GethObject();
    g->OnCustomGridnumbers = [&](QObject*, int, int, double, std::string&) { engine.Destroy(h); };
    g->Perform(WM_HSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(engine.Object(h), nullptr);
    const auto events = Take();
    EXPECT_EQ(std::find(events.begin(), events.end(), "HorzScroll 3 0"), events.end());
}

// A zoom with scrolling draws the image beside its new scroll bar; a handler of the zoom that
// paints the control at once, before the control's bar has followed, must paint that image at
// its own size, not stretched over the bar's room.
TEST_F(EngineInputTest, AZoomHandlerThatPaintsShowsTheImageUnstretched)
{
    g->SetAllowZooming(sgHorzZooming);
    g->SetScrollingHorzZoom(true);
    QImage painted, image;
    g->OnZoomIn = [&](QObject*) {
        painted = g->grab().toImage().convertToFormat(QImage::Format_RGB32);
        image = engine.Object(g->GethObject())->Image.convertToFormat(QImage::Format_RGB32);
    };
    DragZoom(g, At(2, 7), At(6, 3));
    ASSERT_FALSE(image.isNull());
    ASSERT_LT(image.height(), g->height()) << "the bar takes its room";
    const QRect inner = image.rect().adjusted(2, 2, -2, -2); // inside a focus frame
    EXPECT_EQ(painted.copy(inner), image.copy(inner));
}

} // namespace

namespace {

// The image the engine shows, against the same graph drawn afresh at the same size: they differ
// when the image was drawn from a state that no longer holds.
bool ImageShowsTheCurrentState(TRecordingEngine& engine, TEngineHandle h)
{
    const QImage shown = engine.Object(h)->Image.convertToFormat(QImage::Format_RGB32);
    return !shown.isNull() && shown == engine.Render(h, shown.width(), shown.height());
}

TEST_F(EngineInputTest, HandlersRedrawingWhileTheImageIsDrawnGetOneRedrawAfterIt)
{
    auto drag = [this](QPoint from, QPoint to) { DragZoom(g, from, to); };
    g->SetAllowZooming(sgHorzZooming);
    g->SetScrollingHorzZoom(false);
    g->SetAllowGraphHotSpots(true);
    g->SetCustomGridNumbersX(true);
    // How often one drawing raises the handler: its first raise in the redraw that follows is the
    // one after these.
    int perDrawing = 0;
    g->OnCustomGridnumbers = [&](QObject*, int, int, double, std::string&) { ++perDrawing; };
    g->SetPEactions(sgReinitAndReset);
    ASSERT_GT(perDrawing, 0);
    // Each case acts on the handler's calls, counted from 1.
    const std::vector<std::pair<std::string, std::function<void(int)>>> cases = {
        // The redraw asked for first is drawn, and its handler then zooms: that needs one more.
        {"drag zoom in the redraw after", [&](int call) {
             if (call == 1)
                 g->SetPEactions(sgReinitAndReset);
             else if (call == perDrawing + 1)
                 drag(At(3, 7), At(7, 3));
         }},
        {"resize", [this](int call) { if (call == 1) g->resize(360, 240); }},
        {"reinit and reset", [this](int) { g->SetPEactions(sgReinitAndReset); }},
        // Every redraw changes what is drawn: the last change reaches the screen all the same.
        {"subtitle changed in every redraw", [this](int call) {
             g->SetSubTitle(QStringLiteral("Redraw %1").arg(call));
             g->SetPEactions(sgReinitAndReset);
         }},
        {"drag zoom", [&](int call) { if (call == 1) drag(At(2, 7), At(6, 3)); }},
    };
    for (const auto& [name, act] : cases) {
        SCOPED_TRACE(name);
        g->SetPEactions(sgUndoZoom);
        int raised = 0;
        g->OnCustomGridnumbers = [&, act = act](QObject*, int, int, double, std::string&) { act(++raised); };
        g->SetPEactions(sgReinitAndReset);
        g->OnCustomGridnumbers = nullptr;
        QApplication::processEvents();
        const TEngineHandle h = g->GethObject();
        EXPECT_LT(raised, 100); // the redraw asked for from inside ran once, not without end
        EXPECT_EQ(engine.Object(h)->Image.size(), g->size());
        EXPECT_TRUE(ImageShowsTheCurrentState(engine, h));
        // And so does the control on screen.
        const QImage current = engine.Render(h, g->width(), g->height());
        const QImage painted = g->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect inner = current.rect().adjusted(2, 2, -2, -2); // inside a focus frame
        EXPECT_EQ(painted.copy(inner), current.copy(inner));
        // A click maps through the layout of the image on screen, which follows the zoom.
        const TGraphLayout l = engine.Object(h)->Layout;
        if (g->GetZoomMode()) {
            EXPECT_DOUBLE_EQ(l.XMin, g->GetZoomMinX());
            EXPECT_DOUBLE_EQ(l.XMax, g->GetZoomMaxX());
        }
        layout = l;
        Take();
        Press(g, At(l.XMin + (l.XMax - l.XMin) / 4, 5));
        Release(g, At(l.XMin + (l.XMax - l.XMin) / 4, 5));
        const auto events = Take();
        ASSERT_FALSE(events.empty());
        std::istringstream graph(events.front());
        std::string kind;
        int dbl = 0, axis = 0;
        double x = 0;
        graph >> kind >> dbl >> axis >> x;
        EXPECT_EQ(kind, "Graph");
        EXPECT_NEAR(x, l.XMin + (l.XMax - l.XMin) / 4, (l.XMax - l.XMin) / 50);
    }
    EXPECT_TRUE(g->GetZoomMode());
    EXPECT_NEAR(g->GetZoomMinX(), 2, 0.2);
}

} // namespace

namespace {

TEST_F(EngineInputTest, AModifiedPressRunsTheBaseHandlingWhileTheEngineMovesItsCursor)
{
    g->SetAllowDataHotSpots(true);
    g->SetCursorMode(sgCrossHair);
    for (Qt::KeyboardModifiers mods : {Qt::ShiftModifier, Qt::ControlModifier}) {
        Press(g, At(5, 8), mods);
        Release(g, At(5, 8));
        EXPECT_EQ(Take(), (std::vector<std::string>{"PreCursorMove", "CursorMoved", "MouseDown", "Click"}));
    }
    Press(g, At(5, 8));
    Release(g, At(5, 8));
    EXPECT_EQ(Take(), (std::vector<std::string>{"PreCursorMove", "CursorMoved", "Data 0 0 1"}));
}

void Wheel(QWidget* w, QPoint delta)
{
    QWheelEvent wheel(QPointF(30, 40), QPointF(w->mapToGlobal(QPoint(30, 40))), QPoint(), delta, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &wheel);
}

TEST_F(InputTest, ASidewaysWheelIsNotTheEngines)
{
    Wheel(g, QPoint(120, 0));
    EXPECT_TRUE(engine.Messages().empty());
    Wheel(g, QPoint(0, 120));
    EXPECT_EQ(engine.Messages().back(), (std::vector<std::int64_t>{WM_MOUSEWHEEL, 120 << 16, 0}));
}

TEST_F(EngineInputTest, TheWheelScrollsAZoomedViewByTheDistanceTurned)
{
    g->SetAllowZooming(sgVertZooming);
    g->SetScrollingVertZoom(true);
    DragZoom(g, At(2, 7), At(6, 4));
    const TEngineHandle h = g->GethObject();
    const std::int32_t start = engine.TPEEngine::GetScrollPos(h, SB_VERT);
    ASSERT_TRUE(g->VertScrollBar()->isVisible());
    ASSERT_LT(start, 90);
    // A touchpad's small steps make a line only together; a full notch is a line.
    const std::vector<std::pair<int, int>> steps = {{-40, 0}, {-40, 0}, {-40, 1}, {-120, 2}, {-240, 4}, {30, 4}};
    for (const auto& [delta, lines] : steps) {
        Wheel(g, QPoint(0, delta));
        EXPECT_EQ(engine.TPEEngine::GetScrollPos(h, SB_VERT), start + lines) << delta;
    }
}

TEST_F(EngineInputTest, TheImageFillsTheClientAreaBesideTheScrollBars)
{
    g->SetFocalRect(false);
    g->SetAllowZooming(sgHorzPlusVertZooming);
    g->SetScrollingHorzZoom(true);
    g->SetScrollingVertZoom(true);
    DragZoom(g, At(2, 7), At(6, 4));
    QApplication::processEvents();
    ASSERT_TRUE(g->HorzScrollBar()->isVisible());
    ASSERT_TRUE(g->VertScrollBar()->isVisible());
    const QRect horz = g->HorzScrollBar()->geometry(), vert = g->VertScrollBar()->geometry();
    EXPECT_EQ(horz.bottom(), g->height() - 1);
    EXPECT_EQ(vert.right(), g->width() - 1);
    const QRect client(0, 0, vert.left(), horz.top());
    const QImage image = engine.Object(g->GethObject())->Image.convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(image.size(), client.size());
    // Directly, through a memory bitmap, and through the engine's cached bitmap.
    for (auto [prepare, cache] : {std::pair{false, false}, {true, false}, {true, true}}) {
        g->SetPrepareImages(prepare);
        g->SetCacheBmp(cache);
        EXPECT_EQ(g->grab(client).toImage().convertToFormat(QImage::Format_RGB32), image) << prepare << cache;
    }
}

// Which parts of the control were painted, and how many times.
struct TPaintLog : QObject {
    std::vector<QRegion> Regions;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            Regions.push_back(static_cast<QPaintEvent*>(e)->region());
        return false;
    }
    QRegion All() const
    {
        QRegion all;
        for (const QRegion& r : Regions)
            all += r;
        return all;
    }
};

TEST_F(InputTest, FocusRepaintsItsRingAndInputLetsRepaintsMerge)
{
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host, 5000));
    QApplication::processEvents();
    TPaintLog log;
    g->installEventFilter(&log);
    g->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([this] { return g->hasFocus(); }, 5000));
    QApplication::processEvents();
    EXPECT_TRUE(log.All().contains(QPoint(0, 0)));
    EXPECT_TRUE(log.All().contains(QPoint(299, 199)));
    EXPECT_FALSE(log.All().contains(QPoint(150, 100)));
    EXPECT_FALSE(log.All().contains(QPoint(2, 2)));

    // Neither the wheel nor a scroll report paints at once; what they leave is painted once.
    log.Regions.clear();
    Wheel(g, QPoint(0, -120));
    g->Perform(WM_VSCROLL, 5 | 12 << 16, g->GethObject());
    g->Perform(WM_VSCROLL, 1 | 13 << 16, 0);
    EXPECT_TRUE(log.Regions.empty());
    g->update();
    QApplication::processEvents();
    EXPECT_EQ(log.Regions.size(), 1u);
}

TEST_F(InputTest, GridNumberTextIsCutOnAWholeCharacter)
{
    TGridNumberRecord record{0, 0, 1.0, "1"};
    engine.TPEEngine::SetV(g->GethObject(), 3162, &record, 1);
    g->OnCustomGridnumbers = [](QObject*, int, int, double, std::string& text) { text = std::string(46, 'n') + "\xC3\xA9"; };
    g->Perform(WM_COMMAND, std::uintptr_t(3979) << 16, g->GethObject());
    TGridNumberRecord back{};
    engine.TPEEngine::GetV(g->GethObject(), 3162, &back);
    EXPECT_EQ(std::string(back.Text), std::string(46, 'n'));
}

TEST_F(InputTest, OnlyTheLeftButtonDoubleClicks)
{
    engine.PassMessages = false;
    g->OnDblClick = [this](QObject*) { events.push_back("DblClick"); };
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        Mouse(g, QEvent::MouseButtonDblClick, {3, 4}, button, button);
        EXPECT_EQ(Take(), std::vector<std::string>{"MouseDown"}) << button;
    }
    Mouse(g, QEvent::MouseButtonDblClick, {3, 4}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(Take(), (std::vector<std::string>{"DblClick", "MouseDown"}));
}

TEST_F(InputTest, TypedCharactersRaiseKeyPressAfterKeyDown)
{
    g->OnKeyDown = [this](QObject*, int& key, Qt::KeyboardModifiers) { events.push_back("KeyDown " + std::to_string(key)); };
    g->OnKeyPress = [this](QObject*, QChar& key) { events.push_back("KeyPress " + QString(key).toStdString()); };
    const std::vector<std::tuple<Qt::Key, QString, std::vector<std::string>>> keys = {
        {Qt::Key_A, "a", {"KeyDown 65", "KeyPress a"}},
        {Qt::Key_Left, "", {"KeyDown 37"}},
        {Qt::Key_Delete, "\x7F", {"KeyDown 46"}},
        {Qt::Key_Escape, "\x1B", {"KeyDown 27", "KeyPress \x1B"}},
    };
    for (const auto& [key, text, expected] : keys) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(g, &press);
        EXPECT_EQ(Take(), expected) << text.toStdString();
    }
}

TEST_F(InputTest, DragsOverAndOntoTheControlAskOnDragOver)
{
    QMimeData data;
    QDragEnterEvent unasked(QPoint(10, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(g, &unasked);
    EXPECT_FALSE(unasked.isAccepted()); // nothing is taken without OnDragOver

    g->OnDragOver = [this](QObject* sender, QObject* source, int x, int y, TDragState state, bool& accept) {
        EXPECT_EQ(sender, g);
        EXPECT_EQ(source, nullptr);
        EXPECT_TRUE(accept);
        events.push_back("DragOver " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(state));
        accept = x < 100;
    };
    g->OnDragDrop = [this](QObject*, QObject*, int x, int y) {
        events.push_back("DragDrop " + std::to_string(x) + " " + std::to_string(y));
    };
    QDragEnterEvent enter(QPoint(10, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(g, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent away(QPoint(150, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(g, &away);
    EXPECT_FALSE(away.isAccepted());
    QDropEvent refused(QPointF(150, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(g, &refused);
    EXPECT_EQ(Take(), (std::vector<std::string>{"DragOver 10 20 0", "DragOver 150 30 2"}));

    QApplication::sendEvent(g, &enter);
    QDragMoveEvent back(QPoint(40, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(g, &back);
    EXPECT_TRUE(back.isAccepted());
    QDropEvent drop(QPointF(40, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(g, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(Take(), (std::vector<std::string>{"DragOver 10 20 0", "DragOver 40 50 2", "DragDrop 40 50"}));

    QApplication::sendEvent(g, &enter);
    QDragLeaveEvent leave;
    QApplication::sendEvent(g, &leave);
    EXPECT_EQ(Take(), (std::vector<std::string>{"DragOver 10 20 0", "DragOver 10 20 1"}));
}

TEST_F(InputTest, ADragTheControlBeganEndsWithOnEndDrag)
{
    std::vector<std::tuple<QObject*, QObject*, int, int>> ended;
    g->OnEndDrag = [&](QObject* sender, QObject* target, int x, int y) { ended.emplace_back(sender, target, x, y); };
    // The drag runs a loop of its own until the drop; a screen with somewhere to drop on is
    // given a few seconds, then the drag is cancelled.
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QDrag::cancel(); });
    giveUp.start(5000);
    g->BeginDrag(); // nowhere to drop on this screen: the drag is given up
    EXPECT_EQ(ended, (std::vector<std::tuple<QObject*, QObject*, int, int>>{{g, nullptr, 0, 0}}));
}

} // namespace

#include "RecordingEngine.h"
#include "graph/Pesgvcl.h"
#include "support/TestApp.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>
#include <memory>

namespace {

class ControlTest : public ::testing::Test {
protected:
    TQtApp app;
    TRecordingEngine engine;
    TEngineScope scope{engine};
};

TEST_F(ControlTest, CreatesAWindowlessObjectThenReCreatesItAsAChildOfItsWindow)
{
    auto g = std::make_unique<PESGraph>();
    ASSERT_EQ(engine.Calls.size(), 1u);
    const TEngineCall first = engine.Calls[0];
    EXPECT_EQ(first.Ordinal, 19);
    EXPECT_EQ(first.Args, (std::vector<std::int64_t>{304, 0, 0, 12111, 0, 0, 300, 300}));
    const TEngineHandle windowless = g->GethObject();
    ASSERT_NE(windowless, 0);
    EXPECT_FALSE(g->IsCreated());

    // Values written before the window exists reach the child object.
    g->SetMainTitle("Before the window");
    g->resize(120, 80);
    engine.Clear();
    g->HandleNeeded();
    const TEngineHandle child = g->GethObject();
    EXPECT_NE(child, windowless);
    EXPECT_TRUE(g->IsCreated());
    ASSERT_GE(engine.Calls.size(), 6u);
    EXPECT_EQ(engine.Calls[0].Ordinal, 19);
    EXPECT_EQ(engine.Calls[0].Args, (std::vector<std::int64_t>{windowless, 0, g->WindowHandle(), 100, 0, 0, 120, 80}));
    EXPECT_EQ(engine.Calls[1].Ordinal, 7);
    EXPECT_EQ(engine.Calls[1].Id, 2915);
    EXPECT_EQ(engine.Calls[1].Args[0], g->WindowHandle());
    // The first object is no longer referred to: it is destroyed, not leaked.
    EXPECT_EQ(engine.Calls[2].Ordinal, 20);
    EXPECT_EQ(engine.Calls[2].Handle, windowless);
    EXPECT_EQ(engine.Calls[3].Ordinal, 33);
    EXPECT_EQ(engine.Calls[4].Ordinal, 24);
    EXPECT_EQ(engine.Calls[4].Args, (std::vector<std::int64_t>{0, 0}));
    EXPECT_EQ(engine.Calls[5].Ordinal, TRecordingEngine::ShowWindowCall);
    EXPECT_EQ(engine.Calls[5].Args[0], 0);
    EXPECT_EQ(g->GetMainTitle(), "Before the window");
    EXPECT_EQ(engine.ObjectCount(), 1u);

    engine.Clear();
    g.reset();
    EXPECT_EQ(engine.Ordinals(), std::vector<int>{20});
    EXPECT_EQ(engine.Calls[0].Handle, child);
    EXPECT_EQ(engine.ObjectCount(), 0u);
}

TEST_F(ControlTest, AFailedReCreationKeepsTheFirstObject)
{
    engine.FailCreateFromObject = true;
    PESGraph g;
    const TEngineHandle first = g.GethObject();
    engine.Clear();
    g.HandleNeeded();
    EXPECT_EQ(engine.Ordinals(), std::vector<int>{19}); // no notification window, nothing hidden
    EXPECT_EQ(g.GethObject(), first);
    EXPECT_FALSE(g.IsCreated());
}

TEST_F(ControlTest, LoadedRebuildsAndSettersRedrawOnlyWhileDesigning)
{
    PESGraph g;
    engine.Clear();
    g.Loaded();
    EXPECT_EQ(engine.Ordinals(), (std::vector<int>{33, 24}));

    g.HandleNeeded();
    engine.Clear();
    g.SetMainTitle("Run time"); // redrawing mark, but not designing
    EXPECT_EQ(engine.Ordinals(), std::vector<int>{9});
    g.ResetandInvalidate();
    EXPECT_EQ(engine.Ordinals(), std::vector<int>{9});

    g.SetDesigning(true);
    engine.Clear();
    g.SetMainTitle("Design time");
    EXPECT_EQ(engine.Ordinals(), (std::vector<int>{9, 33, 24}));
    engine.Clear();
    g.SetPrepareImages(true); // no redraw mark
    EXPECT_EQ(engine.Ordinals(), std::vector<int>{7});
}

TEST_F(ControlTest, ResetandInvalidateDoesNothingBeforeTheWindowExists)
{
    PESGraph g;
    g.SetDesigning(true);
    engine.Clear();
    g.ResetandInvalidate();
    EXPECT_TRUE(engine.Calls.empty());
}

// What each PEactions value makes the engine do, with PEnarg1 = 7, PEnarg2 = 9 and a file name.
struct TActionCase {
    ePEactions Action;
    std::vector<int> Ordinals;
    std::vector<std::int64_t> Args; // of the last call
    bool FileName;
};

TEST_F(ControlTest, ActionsReachTheEngineAsTheTableSays)
{
    const std::vector<TActionCase> cases = {
        {sgReinitAndReset, {33, 24}, {0, 0}, false},
        {sgReinitialize, {33}, {}, false},
        {sgResetImage, {24}, {7, 9}, false},
        {sgInvalidateImage, {}, {}, false},
        {sgMaximize, {27}, {}, false},
        {sgCustomize, {25}, {}, false},
        {sgExportDialog, {26}, {}, false},
        {sgTextExportDialog, {28}, {7}, true},
        {sgPrintDialog, {29}, {0, 7, 9}, false},
        {sgColorDialog, {30}, {}, false},
        {sgFontDialog, {31}, {}, false},
        {sgPopupMenu, {32}, {7, 9}, false},
        {sgMetaToClip, {36}, {7, 9}, false},
        {sgMetaToFile, {37}, {7, 9}, true},
        {sgBmpToClip, {38}, {7, 9}, false},
        {sgBmpToFile, {39}, {7, 9}, true},
        {sgOleToClip, {40}, {7, 9}, false},
        {sgReinitCustoms, {34}, {}, false},
        {sgPrintGraph, {8, 48}, {0, 0, 0, sgPortrait}, false},
        {sgUndoZoom, {TRecordingEngine::SendMessageCall}, {0x0111, 53053, 0}, false},
        {sgReset, {54}, {}, false},
        {sgJpegToClip, {56}, {7, 9}, false},
        {sgJpegToFile, {57}, {7, 9}, true},
        {sgPngToClip, {70}, {7, 9}, false},
        {sgPngToFile, {67}, {7, 9}, true},
    };
    ASSERT_EQ(cases.size(), 25u);
    PESGraph g;
    g.HandleNeeded();
    g.SetDefOrientation(sgPortrait);
    g.SetPEnarg1(7);
    g.SetPEnarg2(9);
    const QString dir = QDir::tempPath() + "/quorel-graph-action-" + QString::number(QCoreApplication::applicationPid());
    QDir().mkpath(dir);
    g.SetPEstrarg1(dir + "/graph.img");
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.Action));
        engine.Clear();
        g.SetPEactions(c.Action);
        EXPECT_EQ(engine.Ordinals(), c.Ordinals);
        if (engine.Calls.empty())
            continue;
        const TEngineCall& last = engine.Calls.back();
        EXPECT_EQ(last.Handle, g.GethObject());
        EXPECT_EQ(last.Args, c.Args);
        if (c.FileName) {
            EXPECT_EQ(last.Text, (dir + "/graph.img").toStdString());
        }
    }
    QDir(dir).removeRecursively();

    engine.Clear();
    g.SetPEactions(ePEactions(25));
    EXPECT_TRUE(engine.Calls.empty());
}

TEST_F(ControlTest, PrintDialogFlagsAPairOfZeros)
{
    PESGraph g;
    g.SetPEactions(sgPrintDialog);
    EXPECT_EQ(engine.Last(29)->Args, (std::vector<std::int64_t>{1, 0, 0}));
    g.SetPEnarg2(5);
    g.SetPEactions(sgPrintDialog);
    EXPECT_EQ(engine.Last(29)->Args, (std::vector<std::int64_t>{0, 0, 5}));
}

TEST_F(ControlTest, AFileNameLongerThanTheEngineTakesIsRefused)
{
    PESGraph g;
    g.SetPEstrarg1(QString(255, 'a'));
    g.SetPEactions(sgBmpToFile);
    ASSERT_NE(engine.Last(39), nullptr);
    EXPECT_EQ(engine.Last(39)->Text.size(), 255u);
    engine.Clear();
    g.SetPEstrarg1(QString(256, 'a'));
    for (ePEactions a : {sgTextExportDialog, sgMetaToFile, sgBmpToFile, sgJpegToFile, sgPngToFile})
        g.SetPEactions(a);
    EXPECT_TRUE(engine.Calls.empty());
}

TEST_F(ControlTest, ExportsWriteImagesOfTheAskedSize)
{
    TempDir dir;
    QWidget host;
    auto& g = *new PESGraph(&host);
    g.HandleNeeded();
    g.SetPEnarg1(200);
    g.SetPEnarg2(120);
    g.SetPEstrarg1(dir.File("graph.png"));
    g.SetPEactions(sgPngToFile);
    EXPECT_EQ(QImage(dir.File("graph.png")).size(), QSize(200, 120));
    g.SetPEnarg1(0);
    g.SetPEnarg2(0);
    g.resize(90, 60);
    host.show();
    g.SetPEstrarg1(dir.File("graph.bmp"));
    g.SetPEactions(sgBmpToFile);
    EXPECT_EQ(QImage(dir.File("graph.bmp")).size(), QSize(90, 60)); // the control's own size
}

TEST_F(ControlTest, NeverSmallerThanFiftyAndTheEngineWindowFollowsTheSize)
{
    QWidget host;
    auto& g = *new PESGraph(&host);
    host.show();
    engine.Clear();
    g.resize(30, 20);
    EXPECT_EQ(g.size(), QSize(50, 50));
    g.resize(240, 130);
    const TEngineCall* move = engine.Last(TRecordingEngine::MoveWindowCall);
    ASSERT_NE(move, nullptr);
    EXPECT_EQ(move->Args, (std::vector<std::int64_t>{0, 0, 240, 130, 0}));
    EXPECT_EQ(engine.Calls.back().Ordinal, TRecordingEngine::ShowWindowCall);
}

TEST_F(ControlTest, WantsAllKeysOnlyWithAnObjectAndAtRunTime)
{
    PESGraph g;
    EXPECT_EQ(g.WMGetDlgCode(), 5);
    g.SetDesigning(true);
    EXPECT_EQ(g.WMGetDlgCode(), 0);
}

// Painting: the picture of a graph whose desk is one colour, through the three paint paths.
class PaintTest : public ControlTest {
protected:
    void SetUp() override
    {
        g = new PESGraph(&host);
        g->resize(100, 80);
        host.resize(120, 100);
        host.show();
        g->SetBorderTypes(sgNoBorder);
        g->SetDeskColor(TColor(0x0000FF)); // red, 0x00BBGGRR
        g->SetPEactions(sgReinitAndReset);
        engine.Clear();
    }
    QRgb Corner() { return g->grab().toImage().pixel(1, 1); }
    QWidget host;
    PESGraph* g = nullptr;
};

TEST_F(PaintTest, DirectPathPlaysTheImage)
{
    EXPECT_EQ(Corner(), qRgb(255, 0, 0));
    EXPECT_EQ(engine.Last(71), nullptr);
    // Painting is read, set, and cleared after the final pass.
    std::vector<std::pair<int, std::int64_t>> guard;
    for (const auto& c : engine.Calls)
        if (c.Id == PEP::Painting || c.Ordinal == 2)
            guard.emplace_back(c.Ordinal, c.Ordinal == 7 ? c.Args[0] : -1);
    EXPECT_EQ(guard, (std::vector<std::pair<int, std::int64_t>>{{8, -1}, {7, 1}, {2, -1}, {7, 0}}));
}

TEST_F(PaintTest, MemoryBitmapPathPreparesAndCopies)
{
    g->SetPrepareImages(true);
    engine.Clear();
    EXPECT_EQ(Corner(), qRgb(255, 0, 0));
    EXPECT_NE(engine.Last(71), nullptr);
    EXPECT_EQ(engine.Last(41), nullptr);
    EXPECT_EQ(engine.GetInt(g->GethObject(), 2905), 0);
}

TEST_F(PaintTest, CachedBitmapIsCopiedWithoutReplayUntilTheImageChanges)
{
    g->SetPrepareImages(true);
    g->SetCacheBmp(true);
    engine.Clear();
    EXPECT_EQ(Corner(), qRgb(255, 0, 0)); // no cache yet: built first
    EXPECT_NE(engine.Last(41), nullptr);
    engine.Clear();
    EXPECT_EQ(Corner(), qRgb(255, 0, 0)); // nothing changed: the cache alone
    EXPECT_EQ(engine.Last(41), nullptr);
    EXPECT_EQ(engine.Last(71), nullptr);

    g->SetDeskColor(TColor(0x00FF00));
    EXPECT_EQ(Corner(), qRgb(255, 0, 0)); // a property write alone changes nothing on screen
    g->SetPEactions(sgReinitAndReset);
    engine.Clear();
    EXPECT_EQ(Corner(), qRgb(0, 255, 0));
    EXPECT_NE(engine.Last(41), nullptr);
    EXPECT_NE(engine.Last(71), nullptr);
}

TEST_F(PaintTest, AFailedPaintNeverLeavesTheControlRefusingToPaint)
{
    engine.ThrowOnGetMeta = true;
    g->grab();
    EXPECT_EQ(engine.GetInt(g->GethObject(), PEP::Painting), 0);
    engine.ThrowOnGetMeta = false;
    EXPECT_EQ(Corner(), qRgb(255, 0, 0));

    // A Painting flag left set outside any paint of the control does not stop it either.
    engine.SetInt(g->GethObject(), PEP::Painting, 1);
    g->SetDeskColor(TColor(0xFF0000));
    g->SetPEactions(sgReinitAndReset);
    EXPECT_EQ(Corner(), qRgb(0, 0, 255));
}

TEST_F(PaintTest, FocusFrameInvertsTheEdgeOnlyWithFocusAndFocalRect)
{
    g->SetFocalRect(true);
    g->SetPEactions(sgReinitAndReset);
    EXPECT_EQ(g->grab().toImage().pixel(0, 40), qRgb(255, 0, 0)); // no focus: no frame
    host.activateWindow();
    g->setFocus();
    for (int i = 0; i < 20 && !g->hasFocus(); ++i)
        QApplication::processEvents();
    ASSERT_TRUE(g->hasFocus());
    const QImage img = g->grab().toImage();
    EXPECT_EQ(img.pixel(0, 40), qRgb(0, 255, 255)); // red inverted
    EXPECT_EQ(img.pixel(99, 40), qRgb(0, 255, 255));
    EXPECT_EQ(img.pixel(50, 79), qRgb(0, 255, 255));
    EXPECT_EQ(img.pixel(3, 40), qRgb(255, 0, 0));
    g->SetFocalRect(false);
    EXPECT_EQ(g->grab().toImage().pixel(0, 40), qRgb(255, 0, 0));
}

} // namespace

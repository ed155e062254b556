#include "graph/Pesgvcl.h"
#include "graph/engine/PEEngine.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QWidget>
#include <cmath>
#include <fstream>
#include <new>
#include <sys/resource.h>
#include <unistd.h>
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer's operator new ends the process when its allocator refuses, where the language
// throws std::bad_alloc. These take the memory from the sanitizer's non-throwing forms, which keep
// its checks, and throw as the language does, so that a refusal reaches the code under test.
void* operator new(std::size_t size)
{
    if (void* p = ::operator new(size, std::nothrow))
        return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    if (void* p = ::operator new[](size, std::nothrow))
        return p;
    throw std::bad_alloc();
}
#endif

namespace {

// The memory a bounded run of a test may take: no allocation beyond it succeeds.
constexpr int kLimitMb = 256;
constexpr const char* kBoundedVariable = "QUOREL_TEST_MEMORY_LIMIT_MB";

// Whether this process is the bounded run of the current test. When it is not, the test program
// runs that one test again as a process of its own under the limit and checks that it passes,
// whatever it did meanwhile (a crash included). The bound is the allocators' own: under
// AddressSanitizer its allocator refuses any allocation beyond the limit (and gives a null
// pointer rather than ending the process); elsewhere the kernel refuses address space beyond the
// limit on top of what the process holds when the test starts.
bool BoundedRun()
{
    if (qEnvironmentVariableIsSet(kBoundedVariable)) {
#if !defined(__SANITIZE_ADDRESS__)
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(kLimitMb) << 20);
        const rlimit bound{limit, limit};
        EXPECT_EQ(setrlimit(RLIMIT_AS, &bound), 0);
#endif
        return true;
    }
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    const QString name = QStringLiteral("%1.%2").arg(test->test_suite_name(), test->name());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kBoundedVariable, QString::number(kLimitMb));
    const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
    env.insert(QStringLiteral("ASAN_OPTIONS"), asan + (asan.isEmpty() ? "" : ":")
                                                   + QStringLiteral("allocator_may_return_null=1:max_allocation_size_mb=%1").arg(kLimitMb));
    QProcess run;
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + name});
    EXPECT_TRUE(run.waitForFinished(240000));
    const QString output = QString::fromLocal8Bit(run.readAll()).right(6000);
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(run.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
    return false;
}

// A pseudo-section of 20 channels, whose contour bands take buffers of the plotting area's size.
void Section(PESGraph& g)
{
    g.SetSubsets(20);
    g.SetPoints(200);
    g.SetPlottingMethod(sgContourColors);
    g.SetInvertedYAxis(true);
    g.SetShowLegend(true);
    for (int s = 0; s < 20; ++s)
        for (int p = 0; p < 200; ++p) {
            g.SetXData(s, p, float(p + 1.5 * s));
            g.SetYData(s, p, float(-0.8 * (s + 1)));
            g.SetZData(s, p, float(60 + 40 * std::sin(p / 20.0) * std::cos(s / 5.0)));
        }
    for (int k = 0; k < 16; ++k)
        g.SetSubsetColors(k, TColor(k * 15 | (255 - k * 15) << 8));
}

// An image that the memory cannot hold ends nothing: an export of it fails as one to a path that
// cannot be written does, leaving no file; a window resized beyond the memory shows no image
// until it is brought back to a size that fits, when the graph is drawn again; a print of it
// leaves off the page what the memory cannot hold, and a copy of it leaves the clipboard alone.
TEST(ShortMemory, AnImageBeyondTheMemoryIsNotMadeAndNothingEnds)
{
    TestApp();
    if (!BoundedRun())
        return;
    TempDir dir;
    ScriptedDialogs dialogs;
    QWidget host;
    host.resize(400, 300);
    auto& g = *new PESGraph(&host);
    g.resize(300, 200);
    Section(g);
    host.show();
    g.SetPEactions(sgReinitAndReset);
    TPEEngine& e = OwnGraphEngine();
    const TEngineHandle h = g.GethObject();
    ASSERT_NE(e.GetMeta(h), nullptr);

    const struct {
        ePEactions action;
        const char* file;
    } exports[] = {{sgPngToFile, "graph.png"}, {sgBmpToFile, "graph.bmp"}, {sgJpegToFile, "graph.jpg"}};
    for (const auto& x : exports) {
        SCOPED_TRACE(x.file);
        g.SetPEnarg1(10000);
        g.SetPEnarg2(10000);
        g.SetPEstrarg1(dir.File(x.file));
        g.SetPEactions(x.action);
        EXPECT_FALSE(QFile::exists(dir.File(x.file)));
        g.SetPEnarg1(200); // what fits is still exported
        g.SetPEnarg2(120);
        g.SetPEactions(x.action);
        EXPECT_EQ(QImage(dir.File(x.file)).size(), QSize(200, 120));
    }
    // A copy that cannot be made leaves the clipboard as it was.
    g.SetPEactions(sgPngToClip);
    ASSERT_EQ(QApplication::clipboard()->image().size(), QSize(200, 120));
    g.SetPEnarg1(10000);
    g.SetPEnarg2(10000);
    g.SetPEactions(sgPngToClip);
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(200, 120));

    for (const auto& [method, side] : {std::pair{sgContourColors, 10000}, {sgContourColors, 20000}, {sgLine, 20000}}) {
        SCOPED_TRACE(testing::Message() << "plotting method " << int(method) << ", " << side << " pixels");
        g.SetPlottingMethod(method);
        g.SetPEactions(sgReinitAndReset);
        g.resize(side, side);
        EXPECT_EQ(e.GetMeta(h), nullptr);
        host.repaint(); // the control paints without an image
        const QString pdf = dir.File(QStringLiteral("graph%1-%2.pdf").arg(int(method)).arg(side));
        dialogs.AnswerPrint(true, pdf);
        g.SetPEactions(sgPrintDialog);
        EXPECT_GT(QFile(pdf).size(), 0);
        g.resize(300, 200);
        const QImage* image = e.GetMeta(h);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->size(), QSize(300, 200));
    }
}

} // namespace

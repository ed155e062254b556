#include "platform/Application.h"
#include "platform/Dialogs.h"
#include "platform/Exception.h"
#include "platform/MinimizeName.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QInputDialog>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

TEST(InputBox, IsWideEnoughForTheWindowManagerToShowItsWholeTitle)
{
    TestApp();
    // A title bar shows its text in the title font, often bold, between the window's icon and
    // its buttons; allow the room of four title-bar squares besides the text.
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    const QString prompt = "value (1..98) :";
    for (const QString& title : QStringList{"Enter bluetooth outgoing port number", "Port", "Enter the number of the outgoing serial port of the instrument"}) {
        SCOPED_TRACE(title.toStdString());
        const std::unique_ptr<QInputDialog> box(NewInputBox(nullptr, title, prompt, "42"));
        box->show();
        EXPECT_GE(box->width(), metrics.horizontalAdvance(title) + 4 * metrics.height());
        EXPECT_EQ(box->windowTitle(), title);
        EXPECT_EQ(box->labelText(), prompt);
        EXPECT_EQ(box->textValue(), "42");
    }
}

// The box's parent is the active window; a parent that goes while the box is open takes the
// box with it, and the question then counts as cancelled.
TEST(InputBox, IsCancelledWhenItsWindowGoesWhileItIsOpen)
{
    TestApp();
    auto* host = new QWidget;
    host->show();
    host->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(host, 5000));
    ASSERT_EQ(QApplication::activeWindow(), host);
    QTimer::singleShot(0, host, [host] { delete host; });
    QString value = "7";
    TQtDialogs dialogs;
    EXPECT_FALSE(dialogs.InputQuery("Port", "value (1..98) :", value));
    EXPECT_EQ(value, "7");
}

TEST(ErrorText, AddsAFullStopAfterCharactersThatSortAfterThePoint)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"Port err. Getcom", "Port err. Getcom."},
        {"Port err.", "Port err."},
        {"Value 5", "Value 5."},
        {"Really!", "Really!"},
        {"(x)", "(x)"},
        {"", ""},
        {"Done,", "Done,"}, // ',' sorts before '.'
        {"Err/", "Err/."},  // '/' sorts after '.'
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorText(c.in), c.out) << c.in;
}

TEST(ShowException, UsesTheApplicationTitleAndTheErrorIcon)
{
    TestApp();
    ScriptedDialogs dialogs;
    Application->Title = "Quorel";
    Application->ShowException(Exception("Wait error"));
    ASSERT_EQ(dialogs.Calls.size(), 1u);
    EXPECT_EQ(dialogs.Calls[0].Text, "Wait error.");
    EXPECT_EQ(dialogs.Calls[0].Caption, "Quorel");
    EXPECT_EQ(dialogs.Calls[0].Flags, MB_OK | MB_ICONERROR);
}

// A wait with a time limit blocks for the next event: a loop of them, as the survey's wait for
// Start runs, sees a timer fire after a few calls instead of spinning through thousands.
TEST(ProcessMessages, AWaitBlocksUntilTheNextEvent)
{
    TestApp();
    bool fired = false;
    QTimer::singleShot(150, [&] { fired = true; });
    int calls = 0;
    while (!fired && calls < 2000) {
        TApplication::ProcessMessages(1000);
        ++calls;
    }
    EXPECT_TRUE(fired);
    EXPECT_LT(calls, 50);
}

TEST(MinimizeName, DropsFoldersOneAtATimeThenTheRoot)
{
    TestApp();
    const QFontMetrics fm(QFont("DejaVu Sans", 8));
    const QString path = "/home/survey/lake/2026/Setup.ini";
    auto fits = [&](const QString& text) { return fm.horizontalAdvance(text); };
    // Each width admits exactly one of the shortened forms.
    const QStringList forms = {path, "/.../survey/lake/2026/Setup.ini", "/.../lake/2026/Setup.ini",
                               "/.../2026/Setup.ini", "/.../Setup.ini", ".../Setup.ini", "Setup.ini"};
    for (const QString& form : forms)
        EXPECT_EQ(MinimizeName(path, fm, fits(form)), form);
    EXPECT_EQ(MinimizeName(path, fm, 1), "Setup.ini") << "the bare name when nothing fits";
    EXPECT_EQ(MinimizeName("Setup.ini", fm, 1), "Setup.ini");
}

} // namespace

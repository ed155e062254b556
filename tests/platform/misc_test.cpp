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

// The file dialogs list the files the filter's patterns name, whatever its caption shows.
TEST(QtFilter, TakesThePatternsOfTheFilter)
{
    const std::pair<QString, QString> cases[] = {
        {"Setup file (*.ini)|*.ini", "Setup file (*.ini)"},
        {"Acquisition data file (*.txt,*.bin)|*.txt;*.bin", "Acquisition data file (*.txt *.bin)"},
        {"Pictures|*.bmp;*.png", "Pictures (*.bmp *.png)"},
        {"Setup file (*.ini)|*.ini|All|*", "Setup file (*.ini);;All (*)"},
    };
    for (const auto& [filter, qt] : cases)
        EXPECT_EQ(QtFilter(filter), qt) << filter.toStdString();
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

// Fits a message to `lines` rows of `width` pixels and checks what every fitting must hold.
QStringList fitted(const QString& text, const QFontMetrics& fm, int width, int lines)
{
    const QStringList rows = MinimizeMessage(text, fm, width, lines);
    EXPECT_GE(rows.size(), 1);
    EXPECT_LE(rows.size(), lines);
    for (const QString& row : rows)
        EXPECT_LE(fm.horizontalAdvance(row), width) << row.toStdString();
    return rows;
}

TEST(MinimizeMessage, AMessageThatFitsIsLaidOutWholeBetweenWords)
{
    TestApp();
    const QFontMetrics fm(QFont("DejaVu Sans", 8));
    const QString text = "Serial link < COM 1 > could not be opened (/dev/ttyUSB0): No such file or directory";
    EXPECT_EQ(fitted(text, fm, fm.horizontalAdvance(text), 1), QStringList{text});
    const QStringList rows = fitted(text, fm, fm.horizontalAdvance(text) * 2 / 3, 2);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.join(' '), text) << "broken between words, nothing left out";
    // A word wider than a row is broken where the row ends.
    const QString word = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    EXPECT_EQ(fitted(word, fm, fm.horizontalAdvance(word) / 2 + 4, 3).join(""), word);
}

// The folders of a path go first, one at a time as MinimizeName gives them up, wherever the
// path stands: before the reason, in brackets, or in one part of a longer line.
TEST(MinimizeMessage, GivesUpTheFoldersOfItsPathsFirst)
{
    TestApp();
    const QFontMetrics fm(QFont("DejaVu Sans", 8));
    const QString path = "/media/user/SURVEY STICK/2026-12-11 levé nord/ligne 03.bin";
    const QStringList forms = {path, "/.../user/SURVEY STICK/2026-12-11 levé nord/ligne 03.bin",
                               "/.../SURVEY STICK/2026-12-11 levé nord/ligne 03.bin",
                               "/.../2026-12-11 levé nord/ligne 03.bin", "/.../ligne 03.bin", ".../ligne 03.bin",
                               "ligne 03.bin"};
    const struct {
        QString before, after;
    } places[] = {
        {"Cannot write ", ": No space left on device"},
        {"Cannot write ", ": the file is full"},
        {"Serial link < COM 1 > could not be opened (", "): No such file or directory"},
        {"No records to store in ", ""},
        {"Connected to VARNOK 10 at 38400 Bds  -  Cannot open ", ": Input/output error  -  2 cycles lost: no answer"},
    };
    for (const auto& p : places) {
        for (const QString& form : forms) {
            const QString shown = p.before + form + p.after;
            SCOPED_TRACE(shown.toStdString());
            EXPECT_EQ(fitted(p.before + path + p.after, fm, fm.horizontalAdvance(shown), 1), QStringList{shown});
        }
    }
    // A slash inside a word is no path: the reason stays as the system said it.
    const QString reason = "2 cycles lost: Input/output error";
    EXPECT_EQ(fitted(reason, fm, fm.horizontalAdvance(reason) - 1, 1),
              QStringList{fm.elidedText(reason, Qt::ElideMiddle, fm.horizontalAdvance(reason) - 1)});
}

// Then the leading parts of a line made of parts give up their ends, and last the middle of
// what the last row cannot hold: the start and the reason stay.
TEST(MinimizeMessage, ThenTheLeadingPartsThenTheMiddleOfTheLastRow)
{
    TestApp();
    const QFontMetrics fm(QFont("DejaVu Sans", 8));
    const QString caption = "Connected to VARNOK 10 v2.1 at 115200 Bds";
    const QString news = "Cannot write ligne 03.bin: No space left on device  -  12 cycles lost: no answer";
    const QString line = caption + "  -  " + news;
    const int width = fm.horizontalAdvance("Connected to VA\u2026  -  " + news);
    const QStringList rows = fitted(line, fm, width, 1);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_TRUE(rows[0].endsWith("\u2026  -  " + news)) << rows[0].toStdString();
    EXPECT_TRUE(rows[0].startsWith("Connected to VA")) << rows[0].toStdString();
    // Narrower: every leading part gives up its end, down to its ellipsis; the last part,
    // the newest, stays whole.
    const QString last = "\u2026  -  \u2026  -  12 cycles lost: no answer";
    EXPECT_EQ(fitted(line, fm, fm.horizontalAdvance(last), 1), QStringList{last});
    // On two rows the first row is whole; the second holds the rest with its middle left out.
    const QString text = "Cannot write /media/user/SURVEY STICK/a rather long name for one survey line file.bin: No space left on device";
    const QStringList two = fitted(text, fm, 150, 2);
    ASSERT_EQ(two.size(), 2);
    EXPECT_TRUE(two[0].startsWith("Cannot write")) << two[0].toStdString();
    EXPECT_TRUE(two[1].endsWith("on device")) << two[1].toStdString();
    EXPECT_TRUE(two[1].contains("\u2026")) << two[1].toStdString();
}

} // namespace

// The connection line of the main window, painted as it stands in a 1024 pixel wide window,
// with the messages the program builds: what the user must act on, the device's or file's
// name and the reason must be read there, and the whole message on hovering.
#include "WindowFixture.h"
#include "acquisition/AcquisitionFiles.h"
#include "acquisition/Main.h"
#include "platform/Controls.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class ConnectionLine : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        // A missing USB adapter, as a field user meets it; a device of that name on this
        // machine would open, so its place is taken by one that cannot be there.
        device = QFile::exists("/dev/ttyUSB0") ? dir.File("ttyUSB0") : QString("/dev/ttyUSB0");
        qputenv("QUOREL_COM1", device.toLocal8Bit());
        Remember(WriteFile("setup.ini", "[Communication]\r\nPort=1\r\nSpeed=9600\r\n"));
        NewWindow().FormCreate(frm.get());
        frm->resize(1024, 699);
    }
    void TearDown() override
    {
        qunsetenv("QUOREL_COM1");
        WindowTest::TearDown();
    }

    // The failure of Power On with the adapter missing, as the window shows it.
    QString missingAdapter()
    {
        dialogs.AnswerMessage(IDOK);
        frm->PowerAction->trigger();
        return frm->MainGB->text();
    }

    // A write to a full stick: the file stands in its folders on the stick and the system
    // answers that no space is left.
    QString fullStick()
    {
        const QString folder = dir.File("media/user/SURVEY STICK/2026-12-11 levé nord");
        EXPECT_TRUE(QDir().mkpath(folder));
        const QString path = folder + "/ligne 03.bin";
        EXPECT_EQ(::symlink("/dev/full", QFile::encodeName(path).constData()), 0);
        Acquisition::BinHeaderTextArray header{};
        Acquisition::BinaryFileState state{};
        Acquisition::DipoleRecordArray records{};
        int32_t mark = 0;
        return Acquisition::AppendCycleRecords(path, header, state, records, 10, mark, 0);
    }

    QImage painted() { return frm->MainGB->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // What shows when the pointer rests on the line (a tip left from before gone first).
    QString hovered()
    {
        QToolTip::hideText();
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000));
        QLabel* line = frm->MainGB;
        const QPoint at = line->rect().center();
        QHelpEvent help(QEvent::ToolTip, at, line->mapToGlobal(at));
        QApplication::sendEvent(line, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }

    QString device;
};

// Whether any pixel of the column or row differs from the line's ground.
bool inkInColumn(const QImage& img, int x, QRgb ground)
{
    for (int y = 0; y < img.height(); ++y)
        if (img.pixel(x, y) != ground)
            return true;
    return false;
}

bool inkInRow(const QImage& img, int y, QRgb ground)
{
    for (int x = 0; x < img.width(); ++x)
        if (img.pixel(x, y) != ground)
            return true;
    return false;
}

// A message that the line cannot hold on one row is not cut at its edges: its words stay
// inside the line. One that it cannot hold at all shows whole on hovering.
TEST_F(ConnectionLine, ALongMessageIsNotCutAtTheEdgesAndShowsWholeOnHovering)
{
    ASSERT_EQ(frm->width(), 1024);
    const QString shortOne = "The instrument did not answer";
    frm->MainGB->setText(shortOne);
    EXPECT_EQ(hovered(), "") << "a message read whole has nothing more to show";

    const QString survey = "Connected to VARNOK 10 v2.1 at 115200 Bds";
    const QString file = fullStick();
    ASSERT_TRUE(file.endsWith("ligne 03.bin: No space left on device")) << file.toStdString();
    const QStringList messages = {
        missingAdapter(),
        file,
        // The survey's line: its caption, the file's problem and the cycles lost.
        survey + "  -  " + file + "  -  12 cycles lost: nothing could be sent to the instrument",
    };
    ASSERT_EQ(messages[0], "Serial link < COM 1 > could not be opened (" + device + "): No such file or directory");
    for (const QString& message : messages) {
        SCOPED_TRACE(message.toStdString());
        frm->MainGB->setText(message);
        EXPECT_EQ(frm->MainGB->text(), message) << "the line keeps the message itself";
        const QImage img = painted();
        const QRgb ground = frm->MainGB->palette().color(QPalette::Window).rgb();
        EXPECT_TRUE(inkInRow(img, img.height() / 2, ground) || inkInRow(img, img.height() / 3, ground));
        EXPECT_FALSE(inkInColumn(img, 0, ground)) << "the start is cut off";
        EXPECT_FALSE(inkInColumn(img, img.width() - 1, ground)) << "the end is cut off";
        EXPECT_FALSE(inkInRow(img, 0, ground)) << "a row is cut off";
        EXPECT_FALSE(inkInRow(img, img.height() - 1, ground)) << "a row is cut off";
    }
    // The survey's line, longer than two rows: it shows whole on hovering.
    EXPECT_EQ(hovered(), messages[2]);
}

// What the line paints keeps, of each real message, what the user must act on, the name and
// the reason.
TEST_F(ConnectionLine, ShowsWhatToActOnTheNameAndTheReason)
{
    auto* line = qobject_cast<TStatusLine*>(frm->MainGB);
    ASSERT_NE(line, nullptr);
    const QString file = fullStick();
    const QString survey = "Connected to VARNOK 10 v2.1 at 115200 Bds";
    const struct {
        const char* what;
        QString message;
        QStringList read; // must each be read, in the rows as they follow each other
    } cases[] = {
        {"missing adapter", missingAdapter(),
         {"Serial link < COM 1 > could not be opened", device, "No such file or directory"}},
        {"full stick", file, {"Cannot write", "ligne 03.bin: No space left on device"}},
        {"full stick during a survey", survey + "  -  " + file + "  -  12 cycles lost: nothing could be sent to the instrument",
         {"Cannot write", "ligne 03.bin: No space left on device", "12 cycles lost: nothing could be sent to the instrument"}},
        {"cycles lost", survey + "  -  3 cycles lost: no answer", {survey + "  -  3 cycles lost: no answer"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        line->setText(c.message);
        const QStringList rows = line->ShownLines();
        SCOPED_TRACE(rows.join(" | ").toStdString());
        EXPECT_LE(rows.size(), 2);
        for (const QString& row : rows)
            EXPECT_LE(line->fontMetrics().horizontalAdvance(row), line->contentsRect().width());
        const QString read = rows.join(' ');
        for (const QString& part : c.read)
            EXPECT_TRUE(read.contains(part)) << part.toStdString();
        // Whatever the rows leave out shows on hovering.
        EXPECT_EQ(hovered(), read.simplified() == c.message.simplified() ? QString() : c.message);

        // The painting is those rows: the same as a plain label holding them.
        QLabel reference(rows.join('\n'), line->parentWidget());
        reference.setGeometry(line->geometry());
        reference.setFont(line->font());
        reference.setPalette(line->palette());
        reference.setAlignment(line->alignment());
        reference.setTextFormat(Qt::PlainText);
        EXPECT_EQ(painted(), reference.grab().toImage().convertToFormat(QImage::Format_RGB32));
    }
}

} // namespace

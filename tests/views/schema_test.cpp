// The cable-connection views: output assignment, bitmap save, printout, front-panel picture.
#include "platform/Exception.h"
#include "platform/NumberFormat.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"
#include "views/FrontPanel.h"
#include "views/Jpeg.h"
#include "views/Schema.h"
#include "views/Schema20.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPdfWriter>
#include <QPrinter>
#include <QPushButton>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

namespace {

// A, B at 0 and 2 m, P1 to P11 at 4 to 24 m.
std::array<float, 13> example()
{
    std::array<float, 13> p{};
    for (int i = 0; i < 13; ++i)
        p[i] = float(2 * i);
    return p;
}

QStringList texts(const std::vector<QLabel*>& labels)
{
    QStringList out;
    for (QLabel* l : labels)
        out << l->text();
    return out;
}

QStringList sockets(const Schema::TCableForm& f)
{
    QStringList out{f.CA->text(), f.CB->text()};
    return out + texts(f.P);
}

QStringList split(const char* s) { return QString(s).split(',', Qt::KeepEmptyParts); }

class SchemaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        SetDecimalSeparator('.');
        view10 = std::make_unique<TSchemaFrm>();
        view20 = std::make_unique<TSchema20Frm>();
    }
    TempDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<TSchemaFrm> view10;
    std::unique_ptr<TSchema20Frm> view20;
};

struct Case10 {
    const char* Name;
    std::array<float, 13> Positions;
    int Channels;
    const char* Sockets;  // CA, CB, P1..P11
    const char* Plugs;    // pp1..pp13
    const char* Spacings; // L1..L13
    bool Warning;
};

TEST_F(SchemaTest, TenChannelViewAssignsOutputsFromThePositions)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    auto withAB = [](float a, float b) { auto p = example(); p[0] = a; p[1] = b; return p; };
    auto withNan = [&] { auto p = example(); p[5] = nan; return p; };
    const Case10 cases[] = {
        {"mirror image of the cable", example(), 10, "13,12,11,10,9,8,7,6,5,4,3,2,1",
         "11,10,9,8,7,6,5,4,3,2,1,B,A", "24,22,20,18,16,14,12,10,8,6,4,2,0", false},
        {"five channels", example(), 5, "8,7,6,5,4,3,2,1,0,0,0,0,0",
         "6,5,4,3,2,1,B,A,,,,,", "14,12,10,8,6,4,2,0,16,18,20,22,24", true},
        {"A and B at the same place", withAB(0, 0), 10, "12,12,11,10,9,8,7,6,5,4,3,2,1",
         "11,10,9,8,7,6,5,4,3,2,1,B,", "24,22,20,18,16,14,12,10,8,6,4,0,24", false},
        {"no channel places A, B and P1", example(), 0, "3,2,1,0,0,0,0,0,0,0,0,0,0",
         "1,B,A,,,,,,,,,,", "4,2,0,6,8,10,12,14,16,18,20,22,24", true},
        {"a negative count places nothing", example(), -3, "0,0,0,0,0,0,0,0,0,0,0,0,0",
         ",,,,,,,,,,,,", "0,2,4,6,8,10,12,14,16,18,20,22,24", true},
        {"a huge negative count places nothing", example(), std::numeric_limits<int32_t>::min(),
         "0,0,0,0,0,0,0,0,0,0,0,0,0", ",,,,,,,,,,,,", "0,2,4,6,8,10,12,14,16,18,20,22,24", true},
        {"more than ten channels are placed as ten", example(), 25, "13,12,11,10,9,8,7,6,5,4,3,2,1",
         "11,10,9,8,7,6,5,4,3,2,1,B,A", "24,22,20,18,16,14,12,10,8,6,4,2,0", false},
        {"the largest count is placed as ten", example(), std::numeric_limits<int32_t>::max(),
         "13,12,11,10,9,8,7,6,5,4,3,2,1", "11,10,9,8,7,6,5,4,3,2,1,B,A", "24,22,20,18,16,14,12,10,8,6,4,2,0", false},
        // A position that is not a number takes no output and pushes no other past the cable.
        {"a position that is no number", withNan(), 10, "13,12,11,10,9,0,8,7,6,5,4,3,2",
         ",11,10,9,8,7,6,5,3,2,1,B,A", "0,24,22,20,18,16,14,12,8,6,4,2,0", false},
        {"two decimals at most", {2.5f, 3.0f, 0.126f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, "2,1,3,0,0,0,0,0,0,0,0,0,0",
         "B,A,1,,,,,,,,,,", "3,2.5,0.13,0,0,0,0,0,0,0,0,0,0", true},
    };
    for (const Case10& c : cases) {
        SCOPED_TRACE(c.Name);
        view10->ShowConnections(nullptr, c.Positions, "setup.ini", c.Channels);
        EXPECT_EQ(sockets(*view10), split(c.Sockets));
        EXPECT_EQ(texts(view10->pp), split(c.Plugs));
        EXPECT_EQ(texts(view10->L), split(c.Spacings));
        EXPECT_EQ(view10->Warning10Lbl->isVisibleTo(view10.get()), c.Warning);
        EXPECT_EQ(view10->SetupSTxt->text(), "setup.ini");
    }
}

TEST_F(SchemaTest, TenChannelViewShowsTheUsersDecimalSeparator)
{
    SetDecimalSeparator(',');
    view10->ShowConnections(nullptr, {2.5f, 3, 0.126f}, "x", 0);
    EXPECT_EQ(texts(view10->L).mid(0, 3), QStringList({"3", "2,5", "0,13"}));
    SetDecimalSeparator('.');
}

TEST_F(SchemaTest, DesignTextsAreSeenOnlyBeforeTheFirstFilling)
{
    EXPECT_EQ(sockets(*view10), split("A,B,1,2,3,4,5,6,7,8,9,10,11"));
    EXPECT_EQ(texts(view10->pp), QStringList(13, "nc"));
    EXPECT_EQ(view10->windowTitle(), "Varnok Pro cable connections");
    EXPECT_EQ(view10->size(), QSize(993, 657));
    EXPECT_EQ(view20->windowTitle(), "Schema20Frm");
    EXPECT_EQ(view20->size(), QSize(1022, 657));
    EXPECT_EQ(texts(view20->Outputs).last(), "23");
}

TEST_F(SchemaTest, TwentyChannelViewPlacesAllElectrodes)
{
    // A and P12 to P21 at 0 m, B and P1 to P11 at 2 to 24 m.
    std::array<float, 23> p{};
    for (int i = 1; i < 13; ++i)
        p[i] = float(2 * i);
    view20->ShowConnections(nullptr, p, "twenty.ini");
    EXPECT_EQ(sockets(*view20), split("13,12,11,10,9,8,7,6,5,4,3,2,1,13,13,13,13,13,13,13,13,13,13"));
    EXPECT_EQ(texts(view20->pp), split("11,10,9,8,7,6,5,4,3,2,1,B,21,,,,,,,,,,"));
    EXPECT_EQ(texts(view20->L).mid(0, 14), split("24,22,20,18,16,14,12,10,8,6,4,2,0,0"));
    EXPECT_EQ(view20->SetupSTxt->text(), "twenty.ini");

    // Distinct positions: the mirror image over all 23 outputs.
    for (int i = 0; i < 23; ++i)
        p[i] = float(i);
    view20->ShowConnections(nullptr, p, "");
    EXPECT_EQ(view20->CA->text(), "23");
    EXPECT_EQ(view20->P[20]->text(), "1");
    EXPECT_EQ(view20->pp[0]->text(), "21");
    EXPECT_EQ(view20->pp[22]->text(), "A");
}

// Where the lime ink of a text lies across a cell of an image: the first and last column that
// holds any (-1 when none does).
std::pair<int, int> inkColumns(const QImage& image, QRect cell)
{
    int first = -1, last = -1;
    for (int x = cell.left(); x <= cell.right(); ++x)
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            const QColor c = image.pixelColor(x, y);
            if (c.green() > 150 && c.red() < 120 && c.blue() < 150) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
        }
    return {first, last};
}

TEST_F(SchemaTest, EverySpacingReadsWholeOverItsOutputOnScreenAndInTheBitmap)
{
    // The widest texts of positions along a survey line: a sign and five digits.
    const float positions[] = {-99999.99f, -88888.88f, 99999.99f, -112.75f, 1222.22f};
    for (Schema::TCableForm* view : {static_cast<Schema::TCableForm*>(view10.get()), static_cast<Schema::TCableForm*>(view20.get())}) {
        for (float position : positions) {
            const QString text = FormatFloat("#0.##", position);
            SCOPED_TRACE((view->objectName() + " " + text).toStdString());
            if (view == view10.get()) {
                std::array<float, 13> p;
                p.fill(position);
                view10->ShowConnections(nullptr, p, "", 10);
            } else {
                std::array<float, 23> p;
                p.fill(position);
                view20->ShowConnections(nullptr, p, "");
            }
            const QImage image = view->ClientImage();
            for (size_t k = 0; k < view->L.size(); ++k) {
                QLabel* cell = view->L[k];
                ASSERT_EQ(cell->text(), text);
                EXPECT_LE(cell->sizeHint().width(), cell->width()) << "L" << k + 1;
                EXPECT_LE(cell->sizeHint().height(), cell->height()) << "L" << k + 1;
                // In the saved bitmap (which is also what prints) the text stands clear of the
                // cell's edges.
                const QRect inside = cell->contentsRect().translated(cell->mapTo(view, QPoint(0, 0)));
                const auto [first, last] = inkColumns(image, inside);
                EXPECT_GT(first, inside.left()) << "L" << k + 1;
                EXPECT_LT(last, inside.right()) << "L" << k + 1;
            }
        }
        // Each spacing stands over its own output's column, inside the panel, clear of the others.
        const QRect panel = view->Panel1->contentsRect();
        for (size_t k = 0; k < view->L.size(); ++k) {
            const QRect cell = view->L[k]->geometry();
            const QRect column = view->Outputs[k]->geometry();
            EXPECT_TRUE(panel.contains(cell)) << "L" << k + 1;
            EXPECT_GE(cell.center().x(), column.left()) << "L" << k + 1;
            EXPECT_LE(cell.center().x(), column.right()) << "L" << k + 1;
            for (size_t j = 0; j < k; ++j)
                EXPECT_FALSE(cell.intersects(view->L[j]->geometry())) << "L" << j + 1 << " and L" << k + 1;
            EXPECT_FALSE(cell.intersects(view->StaticText1->geometry())) << "L" << k + 1;
        }
    }
}

TEST_F(SchemaTest, SaveStoresTheClientAreaAsBitmap)
{
    view10->ShowConnections(nullptr, example(), "setup.ini", 10);
    dialogs.AnswerSave(dir.File("cable")); // typed without extension
    view10->SaveBtn->click();
    ASSERT_TRUE(dialogs.Unexpected.isEmpty()) << dialogs.Unexpected.join("; ").toStdString();
    EXPECT_EQ(dialogs.Calls.at(0).Request.Filter, "Bmp file (*.bmp)|*.bmp");
    EXPECT_EQ(dialogs.Calls.at(0).Request.DefaultExt, "bmp");
    QFile file(dir.File("cable.bmp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(2), "BM");
    file.close();
    const QImage image(dir.File("cable.bmp"), "BMP");
    ASSERT_EQ(image.size(), QSize(993, 657));
    // A probe on the dark-blue bar behind the spacing row, clear of its texts.
    const QColor bar = image.pixelColor(view10->Panel1->x() + 60, view10->Panel1->y() + 34);
    EXPECT_NEAR(bar.red(), 6, 2);
    EXPECT_NEAR(bar.green(), 71, 2);
    EXPECT_NEAR(bar.blue(), 111, 2);

    // An existing file is replaced without a question; cancel does nothing.
    dialogs.AnswerSave(dir.File("cable.bmp"));
    view20->SaveBtn->click();
    EXPECT_EQ(QImage(dir.File("cable.bmp")).size(), QSize(1022, 657));
    dialogs.AnswerSave("");
    view10->SaveBtn->click();
    EXPECT_TRUE(dialogs.Messages().isEmpty());
}

TEST_F(SchemaTest, FailedBitmapSaveIsReported)
{
    const QString target = dir.File("missing/folder/cable.bmp");
    dialogs.AnswerSave(target);
    view10->SaveBtn->click();
    ASSERT_EQ(dialogs.Messages().size(), 1);
    EXPECT_TRUE(dialogs.Messages()[0].startsWith("Cannot create file \"" + target + "\"")) << dialogs.Messages()[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(SchemaTest, PrintoutFitsThePage)
{
    // At the printer's resolution while that fits; shrunk in proportion when it does not.
    EXPECT_EQ(Schema::FitOnPage({993, 657}, 96, {0, 0, 1000, 1000}), QRect(0, 0, 993, 657));
    EXPECT_EQ(Schema::FitOnPage({960, 600}, 192, {0, 0, 4000, 4000}), QRect(0, 0, 1920, 1200));
    const QRect a4(0, 0, 4760, 6814); // A4 at 600 dpi, less the margins
    const QRect r = Schema::FitOnPage({993, 657}, 600, a4);
    EXPECT_EQ(r.width(), 4760);
    EXPECT_NEAR(r.height(), 4760.0 * 657 / 993, 1);
    const QRect tall = Schema::FitOnPage({100, 1000}, 600, {0, 0, 4760, 3000});
    EXPECT_EQ(tall.height(), 3000);
    EXPECT_EQ(tall.width(), 300);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.File("cable.pdf"));
    view20->PrintOn(printer);
    EXPECT_GT(QFileInfo(dir.File("cable.pdf")).size(), 1000);
}

TEST_F(SchemaTest, PrintGoesThroughThePrintDialogAndReportsFailure)
{
    dialogs.AnswerPrint(false);
    view10->PrintBtn->click();
    EXPECT_TRUE(dialogs.Messages().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.File("chosen.pdf")));

    // What the user chose in the dialog is where it prints.
    dialogs.AnswerPrint(true, dir.File("chosen.pdf"));
    view10->PrintBtn->click();
    EXPECT_TRUE(dialogs.Messages().isEmpty()) << dialogs.Messages().join("|").toStdString();
    EXPECT_GT(QFileInfo(dir.File("chosen.pdf")).size(), 1000);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.File("no/such/folder/cable.pdf"));
    try {
        view10->PrintOn(printer);
        FAIL() << "a printer that cannot be opened must be reported";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.Message.startsWith("Printing failed"));
    }
}

TEST(FrontPanelTest, CommittedPicturesMatchTheirDrawingsAndTheSockets)
{
    TestApp();
    for (auto model : {FrontPanel::Model::Channels10, FrontPanel::Model::Channels20}) {
        QString error;
        const QImage picture = FrontPanel::Picture(model, &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        const QImage drawn = FrontPanel::Draw(model).convertToFormat(QImage::Format_RGB888);
        ASSERT_EQ(picture.size(), drawn.size());
        // The stored JPEG is the drawing, up to the loss of compression.
        double sum = 0;
        for (int y = 0; y < drawn.height(); y += 3)
            for (int x = 0; x < drawn.width(); x += 3) {
                const QColor a = picture.pixelColor(x, y), b = drawn.pixelColor(x, y);
                sum += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
            }
        EXPECT_LT(sum / (drawn.width() / 3 * drawn.height() / 3 * 3), 4.0);
        // Each socket's centre is dark: the insert under the output number.
        for (QPoint c : FrontPanel::Layout(model).Centre)
            EXPECT_LT(qGray(picture.pixel(c)), 60) << c.x() << "," << c.y();
    }
}

TEST(FrontPanelTest, DamagedPictureGivesAPlainGroundAndNeverEndsTheProgram)
{
    TestApp();
    const QByteArray good = FrontPanel::JpegData(FrontPanel::Model::Channels10);
    QByteArray flipped = good;
    for (qsizetype i = 600; i < flipped.size(); i += 97)
        flipped[i] = char(flipped[i] ^ 0x5A);
    // Scattered flipped bits may decode without a complaint: garbled, but never a crash.
    EXPECT_EQ(FrontPanel::PictureFrom(flipped, FrontPanel::Model::Channels10).size(), QSize(993, 657));
    const QByteArray cases[] = {QByteArray(), QByteArray("not a picture at all"), good.left(20), good.left(good.size() / 2)};
    for (const QByteArray& data : cases) {
        QString error;
        EXPECT_TRUE(Jpeg::Decode(data, &error).isNull());
        EXPECT_FALSE(error.isEmpty());
        const QImage shown = FrontPanel::PictureFrom(data, FrontPanel::Model::Channels10);
        EXPECT_EQ(shown.size(), QSize(993, 657));
        EXPECT_EQ(shown.pixel(500, 150), shown.pixel(5, 5)) << "a plain ground";
    }
    QString error;
    EXPECT_TRUE(Jpeg::Decode("garbage", &error).isNull());
    EXPECT_FALSE(error.isEmpty());
    const QImage plain = FrontPanel::PictureFrom("garbage", FrontPanel::Model::Channels20);
    EXPECT_EQ(plain.size(), QSize(1022, 657));
    EXPECT_EQ(plain.pixel(500, 100), plain.pixel(10, 10));

    // A round trip through the encoder keeps the picture.
    QImage small(40, 30, QImage::Format_RGB32);
    small.fill(QColor(200, 40, 40));
    const QImage back = Jpeg::Decode(Jpeg::Encode(small, 95));
    ASSERT_EQ(back.size(), small.size());
    EXPECT_NEAR(back.pixelColor(20, 15).red(), 200, 4);
}

} // namespace

#include "WindowFixture.h"
#include "acquisition/Main.h"
#include "graph/Pesgvcl.h"
#include "link/Portvirt.h"
#include "platform/NumberFormat.h"
#include "platform/Registry.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>

using Acquisition::TMainFrm;

namespace {

class ShowValueTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        NewWindow();
    }
    // Writes the bytes as they stand (CR LF added to each "\n") and shows the file.
    void show(const QByteArray& content)
    {
        const QString path = dir.File(QString("setup%1.ini").arg(++files));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray bytes = content;
        f.write(bytes.replace("\n", "\r\n"));
        f.close();
        frm->SetupIni = std::make_unique<TIniFile>(path);
        frm->ShowValue();
    }
    QColor switchColour() const { return frm->SwitchRB->palette().color(QPalette::Window); }

    int files = 0;
};

// A file where every key differs from its default, so that a later file must overwrite all.
const QByteArray fullFile = [] {
    QByteArray s = "[Parameters]\nRemoteTxVoltage=48\nRemoteTime=40\nRemoteDelay=7\nChannel=20\nDelayTime=9\n"
                   "AddDistance=0\nGpsConnected=0\nSounderConnected=0\nIpData=1\nRange15=0\n"
                   "DepthOffset=0.5\nMinDistance=3\n";
    for (const char* e : {"A", "B", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}) {
        s += QByteArray("ComSpacing") + e + "=101\n";
        s += QByteArray("ComSpacing") + e + "Y=5\n";
        s += QByteArray("ComSpacing2") + e + "=102\n";
        s += QByteArray("ComSpacing2") + e + "Y=6\n";
    }
    return s + "[Relaybox]\nRelyaboxEnabled=1\n";
}();

void expectDefaults(const TMainFrm& f)
{
    EXPECT_EQ(f.TimeEdt->text(), "250");
    EXPECT_EQ(f.TxVoltageEdt->text(), "12");
    EXPECT_EQ(f.ChannelEdt->text(), "10");
    EXPECT_EQ(f.CaEdt->text(), "0.00");
    EXPECT_EQ(f.CbEdt->text(), "2.00");
    for (int i = 0; i < 21; ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(f.PEdt[i]->text(), i < 11 ? QString::number(2 * i + 4) + ".00" : QString("0.00"));
        EXPECT_EQ(f.YPEdt[i]->text(), "0.00");
    }
    EXPECT_EQ(f.YCaEdt->text(), "0.00");
    EXPECT_EQ(f.YCbEdt->text(), "0.00");
    EXPECT_EQ(f.MinDistanceLbl->text(), "Min : 1.00 m");
    EXPECT_EQ(f.GroupBox3->title(), "Data :");

    EXPECT_EQ(f.RemoteTxVoltage, 12.0f);
    EXPECT_EQ(f.RemoteTime, 25);
    EXPECT_EQ(f.RemoteDelay, 12);
    EXPECT_EQ(f.ChannelCount, 10);
    EXPECT_EQ(f.DelayTime, 0);
    EXPECT_EQ(f.SwitchEnabled, 0);
    EXPECT_EQ(f.DepthOffset, 0.0f);
    EXPECT_EQ(f.MinDistance, 1.0f);
    EXPECT_EQ(f.Workspace[124], 0.0f);
    EXPECT_EQ(f.Workspace[125], 2.0f);
    EXPECT_EQ(f.Workspace[136], 24.0f);
    EXPECT_EQ(f.Workspace[156], 0.0f);
    EXPECT_EQ(f.Workspace[157], 0.0f);
    EXPECT_EQ(f.Workspace[158], 2.0f);
    EXPECT_EQ(f.Workspace[169], 0.0f);
    EXPECT_EQ(f.Workspace[189], 0.0f);

    EXPECT_TRUE(f.AddDistanceChk->isChecked());
    EXPECT_TRUE(f.GpsConnectedCB->isChecked());
    EXPECT_TRUE(f.SounderCB->isChecked());
    EXPECT_FALSE(f.IpDataChk->isChecked());
    EXPECT_TRUE(f.Range15Rb->isChecked());
    EXPECT_FALSE(f.SwitchRB->isChecked());
    EXPECT_TRUE(f.PanelP11_22->isHidden());
    EXPECT_TRUE(f.PanelV11_20->isHidden());
    EXPECT_FALSE(f.ViewCableBtn->isHidden());
}

TEST_F(ShowValueTest, ADamagedFileStillFillsEveryControlWithDefaults)
{
    const struct {
        const char* what;
        QByteArray content;
    } cases[] = {
        {"empty file", ""},
        {"no Parameters section", "[Communication]\nPort=1\n"},
        {"garbage values",
         "[Parameters]\nRemoteTxVoltage=abc\nRemoteTime=3.5\nRemoteDelay=\nChannel=99999999999\nDelayTime=5s\n"
         "AddDistance=yes\nGpsConnected=\nSounderConnected=?\nIpData=0x\nRange15=one\nComSpacingA=1.2.3\n"
         "ComSpacingB=2e\nComSpacing1=4,5\nComSpacing2=nan\nComSpacing3=inf\nComSpacing1Y=--1\n"
         "DepthOffset=zzz\nMinDistance=\n[Relaybox]\nRelyaboxEnabled=junk\n"},
        {"numbers beyond every range",
         "[Parameters]\nRemoteTxVoltage=1E300\nRemoteTime=99999999999999999999\nChannel=1E300\n"
         "ComSpacingA=1E300\nComSpacingB=-1E300\nComSpacing1=1E39\nComSpacing2=-3.5E38\nComSpacing11Y=1e400\n"
         "ComSpacing22=1E300\nComSpacing211Y=-1E300\nDepthOffset=1E39\nMinDistance=1E300\n"},
        {"binary junk and broken lines",
         QByteArray("\x00\xff\xfe\x01[Param\x01eters]\n=\n===\n[\n]\n\x80\x81=\x82\nRemoteTime\n", 38) +
             "[Parameters\nChannel=12\nRemoteTxVoltage=30\n" + QByteArray(300, '\xff') + "\n" +
             QByteArray("Min\x00Distance=5\n", 15)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        show(fullFile);
        ASSERT_EQ(frm->TimeEdt->text(), "400");
        show(c.content);
        expectDefaults(*frm);
    }
}

TEST_F(ShowValueTest, TheWindowIsReadyForAConnectionAfterwards)
{
    frm->StartConfigGB->hide();
    frm->PSeudoGB->hide();
    frm->GpsDisconnectLbl->show();
    frm->SounderDisconnectLbl->show();
    frm->VarnokParametersGB->setEnabled(false);
    frm->ShowVp->setEnabled(false);
    frm->TimeEdt->setEnabled(false);
    frm->DistanceLblx->setText("12.5");
    frm->VLblx[19]->setText("9");
    show(fullFile);

    EXPECT_FALSE(frm->StartConfigGB->isHidden());
    EXPECT_FALSE(frm->PSeudoGB->isHidden());
    EXPECT_TRUE(frm->PESGraph1->isHidden());
    EXPECT_TRUE(frm->PESGraph2->isHidden());
    EXPECT_TRUE(frm->GpsDisconnectLbl->isHidden());
    EXPECT_TRUE(frm->SounderDisconnectLbl->isHidden());
    EXPECT_TRUE(frm->VarnokParametersGB->isEnabled());
    EXPECT_TRUE(frm->ShowVp->isEnabled());
    EXPECT_TRUE(frm->TimeEdt->isEnabled());
    for (QWidget* w : std::initializer_list<QWidget*>{frm->StopBtn, frm->NewGpsBtn, frm->TxVoltageCheckBtn, frm->PauseBtn})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(frm->DistanceLblx->text(), ".00");
    EXPECT_EQ(frm->NewRefLblx->text(), ".00");
    for (auto* v : frm->VLblx)
        EXPECT_EQ(v->text(), ".00");

    // Every value of the full file.
    EXPECT_EQ(frm->TxVoltageEdt->text(), "48");
    EXPECT_EQ(frm->TimeEdt->text(), "400");
    EXPECT_EQ(frm->RemoteDelay, 7);
    EXPECT_EQ(frm->ChannelEdt->text(), "20");
    EXPECT_EQ(frm->GroupBox3->title(), "Data (off time 9s) :");
    EXPECT_FALSE(frm->AddDistanceChk->isChecked());
    EXPECT_FALSE(frm->GpsConnectedCB->isChecked());
    EXPECT_FALSE(frm->SounderCB->isChecked());
    EXPECT_TRUE(frm->IpDataChk->isChecked());
    EXPECT_TRUE(frm->Range5Rb->isChecked());
    EXPECT_EQ(frm->DepthOffset, 0.5f);
    EXPECT_EQ(frm->MinDistanceLbl->text(), "Min : 3.00 m");
    EXPECT_EQ(frm->CaEdt->text(), "101.00");
    EXPECT_EQ(frm->PEdt[10]->text(), "101.00");
    EXPECT_EQ(frm->PEdt[11]->text(), "102.00"); // P12 is set 2's "ComSpacing22"
    EXPECT_EQ(frm->YPEdt[0]->text(), "5.00");
    EXPECT_EQ(frm->YPEdt[20]->text(), "6.00");
    EXPECT_EQ(frm->Workspace[157], 102.0f); // set 2's A: read, not shown
    EXPECT_TRUE(frm->ViewCableBtn->isHidden());
}

TEST_F(ShowValueTest, SwitchUnitFollowsTheChannelCount)
{
    const QColor face = frm->palette().color(QPalette::Button);
    const struct {
        const char* file;
        int16_t switchEnabled;
        bool checked, red, panels;
    } cases[] = {
        {"[Parameters]\nChannel=12\n[Relaybox]\nRelyaboxEnabled=0\n", 1, true, false, true},
        {"[Parameters]\nChannel=8\n[Relaybox]\nRelyaboxEnabled=1\n", 1, true, true, false},
        {"[Parameters]\nChannel=10\n[Relaybox]\nRelyaboxEnabled=0\n", 0, false, false, false},
        {"[Parameters]\nChannel=11\n", 1, true, false, true},
        {"[Parameters]\nChannel=8\n[Relaybox]\nRelyaboxEnabled=65536\n", 0, false, false, false}, // low 16 bits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        show(c.file);
        EXPECT_EQ(frm->SwitchEnabled, c.switchEnabled);
        EXPECT_EQ(frm->SwitchRB->isChecked(), c.checked);
        EXPECT_EQ(switchColour(), c.red ? QColor(255, 0, 0) : face);
        EXPECT_EQ(frm->PanelP11_22->isHidden(), !c.panels);
        EXPECT_EQ(frm->PanelV11_20->isHidden(), !c.panels);
    }
}

TEST_F(ShowValueTest, ValuesAreShownThroughTheirPictures)
{
    const struct {
        const char* file;
        std::function<QString(const TMainFrm&)> shown;
        const char* expected;
    } cases[] = {
        {"[Parameters]\nRemoteTxVoltage=12.6\n", [](auto& f) { return f.TxVoltageEdt->text(); }, "13"},
        {"[Parameters]\nRemoteTxVoltage=0\n", [](auto& f) { return f.TxVoltageEdt->text(); }, "0"},
        {"[Parameters]\nMinDistance=0.25\n", [](auto& f) { return f.MinDistanceLbl->text(); }, "Min : 0.25 m"},
        {"[Parameters]\nRemoteTime=0x1E\n", [](auto& f) { return f.TimeEdt->text(); }, "300"},
        {"[Parameters]\nRemoteTime=70000\n", [](auto& f) { return f.TimeEdt->text(); }, "44640"},
        {"[Parameters]\nDelayTime=1\n", [](auto& f) { return f.GroupBox3->title(); }, "Data :"},
        {"[Parameters]\nDelayTime=2\n", [](auto& f) { return f.GroupBox3->title(); }, "Data (off time 2s) :"},
        {"[Parameters]\nDelayTime=-5\n", [](auto& f) { return f.GroupBox3->title(); }, "Data :"},
        {"[Parameters]\nComSpacing3=2.5\n", [](auto& f) { return f.PEdt[2]->text(); }, "2.50"},
        {"[Parameters]\nComSpacing2BY=7\nComSpacing27Y=-1.234\n",
         [](auto& f) { return f.YPEdt[16]->text(); }, "-1.23"},
        {"[Parameters]\nChannel=\n", [](auto& f) { return f.ChannelEdt->text(); }, "10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        show(c.file);
        EXPECT_EQ(c.shown(*frm), c.expected);
    }
    // The field keeps the file's value; Start takes the shown one.
    show("[Parameters]\nRemoteTxVoltage=12.6\n");
    EXPECT_EQ(frm->RemoteTxVoltage, 12.6f);
    show("[Parameters]\nMinDistance=0.25\n");
    EXPECT_EQ(frm->MinDistance, 0.25f);
    show("[Parameters]\nMinDistance=-2\n"); // no lower limit
    EXPECT_EQ(frm->MinDistance, -2.0f);
}

// A box too narrow for its text shows the text's start, so that a sign or a leading digit is
// never scrolled out of sight; the text itself, which Start reads, is the whole value.
TEST_F(ShowValueTest, EveryBoxShowsTheStartOfItsText)
{
    const struct {
        const char* file;
        std::function<QLineEdit*(const TMainFrm&)> box;
        const char* text;
    } cases[] = {
        {"Channel=20\nComSpacingA=-1000", [](auto& f) { return f.CaEdt; }, "-1000.00"},
        {"Channel=20\nComSpacingB=10000", [](auto& f) { return f.CbEdt; }, "10000.00"},
        {"Channel=20\nComSpacing11=-123456", [](auto& f) { return f.PEdt[10]; }, "-123456.00"},
        {"Channel=20\nComSpacing211=-2500", [](auto& f) { return f.PEdt[20]; }, "-2500.00"},
        {"Channel=20\nComSpacingAY=-1000", [](auto& f) { return f.YCaEdt; }, "-1000.00"},
        {"Channel=20\nComSpacing22Y=-99999", [](auto& f) { return f.YPEdt[11]; }, "-99999.00"},
        {"Channel=100000", [](auto& f) { return f.ChannelEdt; }, "100000"},
    };
    frm->show();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        show(QByteArray("[Parameters]\n") + c.file + "\n");
        QLineEdit* box = c.box(*frm);
        EXPECT_EQ(box->text(), c.text);
        EXPECT_TRUE(ShowsTextStart(box)) << "the start of " << c.text << " is scrolled out of sight";
    }
}

TEST_F(ShowValueTest, RangeIsReadOnlyWhileTheInstrumentOffersTheChoice)
{
    show("[Parameters]\nRange15=0\n");
    EXPECT_TRUE(frm->Range5Rb->isChecked());
    show("[Parameters]\nRange15=2\n");
    EXPECT_TRUE(frm->Range5Rb->isChecked());
    show("[Parameters]\nRange15=1\n");
    EXPECT_TRUE(frm->Range15Rb->isChecked());

    frm->RangeLbl->setEnabled(false); // a connection without the range choice
    show("[Parameters]\nRange15=0\n");
    EXPECT_TRUE(frm->Range15Rb->isChecked());
    EXPECT_FALSE(frm->RangeLbl->isEnabled());
}

TEST_F(ShowValueTest, CableViewButtonFollowsTheYPositionsOfCableSetOne)
{
    const struct {
        const char* file;
        bool shown;
    } cases[] = {
        {"[Parameters]\n", true},
        {"[Parameters]\nComSpacing5Y=0.02\n", false},
        {"[Parameters]\nComSpacingAY=-0.02\n", false},
        {"[Parameters]\nComSpacing1Y=0.006\nComSpacing11Y=-0.005\n", false}, // |y| summed: 0.011
        {"[Parameters]\nComSpacing1Y=0.004\nComSpacing11Y=-0.005\n", true},
        {"[Parameters]\nComSpacing22Y=3\nComSpacing2AY=1\n", true}, // cable set 2 does not count
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        show(c.file);
        EXPECT_EQ(!frm->ViewCableBtn->isHidden(), c.shown);
    }
}

TEST_F(ShowValueTest, CurrentDisplayKeepsTheLastReading)
{
    frm->Workspace[10] = 10.0f;
    frm->Workspace[21] = 3.2f;
    show("");
    EXPECT_EQ(frm->InLblx->text(), "3.40");
    frm->ModelTagFound = 1;
    show("");
    EXPECT_EQ(frm->InLblx->text(), "3");
}

TEST_F(ShowValueTest, OpeningASetupFileShowsItAndLevelsTheScrollBoxes)
{
    const QString path = dir.File("open.ini");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Parameters]\r\nChannel=20\r\nRemoteTime=30\r\n");
    f.close();
    frm->show();
    frm->OpenSetupFile(path);
    EXPECT_EQ(frm->TimeEdt->text(), "300");
    EXPECT_FALSE(frm->PanelP11_22->isHidden());
    EXPECT_EQ(frm->ScrollBox1->verticalScrollBar()->value(), frm->ScrollBox2->verticalScrollBar()->value());
    EXPECT_TRUE(dialogs.Unexpected.isEmpty()) << dialogs.Unexpected.join("; ").toStdString();
}

} // namespace

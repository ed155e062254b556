// What every link operation does on a link that is not open: the protocol operations raise
// their fixed messages, the raw ones return -1, the rest do nothing.
#include "link/Portcom.h"
#include "link/Portusb.h"
#include "link/Varnokpro.h"
#include "platform/Application.h"
#include "platform/Ftd2xxFake.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

namespace {

struct Op {
    const char* Name;
    std::function<void(TPortVirt&)> Call;
    // The message raised on the serial port, on the USB port; nullopt: nothing raised.
    std::optional<QString> SerialRaises;
    std::optional<QString> UsbRaises;
};

std::optional<QString> raisedBy(TPortVirt& port, const std::function<void(TPortVirt&)>& call)
{
    try {
        call(port);
    } catch (const Exception& e) {
        return e.Message;
    }
    return std::nullopt;
}

const std::vector<Op>& protocolOps()
{
    static const std::vector<Op> ops = {
        {"GetCom", [](TPortVirt& p) { p.GetCom(); }, PortErrGetcom, PortErrGetcom},
        {"GetComBuffer", [](TPortVirt& p) { uint8_t b[4]; p.GetComBuffer(b, 4, 10); }, PortErrGetcom, PortErrGetcom},
        {"GetBlock", [](TPortVirt& p) { uint8_t b[4]; p.GetBlock(b, 4); }, PortErrGetcom, PortErrGetcom},
        {"PutCom", [](TPortVirt& p) { p.PutCom(0x40); }, PortErrPutcom, PortErrPutcom},
        {"PutBlock", [](TPortVirt& p) { const uint8_t b[2] = {1, 2}; p.PutBlock(b, 2); }, PortErrPutcom, PortErrPutcom},
        {"GetString", [](TPortVirt& p) { QString s; p.GetString(s, 40, 10); }, PortErrGetstring, PortErrGetstring},
        {"SetCmd", [](TPortVirt& p) { p.SetCmd(30, 10); }, PortErrSetcmd, PortErrSetcmd},
        {"XbtCLoad", [](TPortVirt& p) { p.XbtCLoad(); }, PortErrXbtCload, PortErrXbtCload},
        {"LoadBuffer", [](TPortVirt& p) { uint8_t b[180]; p.LoadBuffer(b, sizeof b); }, PortErrXbtCload, PortErrXbtCload},
        {"WaitPrompt", [](TPortVirt& p) { EXPECT_FALSE(p.WaitPrompt()); }, std::nullopt, PortWaitError},
        {"PromptSetCmd", [](TPortVirt& p) { EXPECT_FALSE(p.PromptSetCmd(30, 10)); }, std::nullopt, PortWaitError},
        {"Identify", [](TPortVirt& p) { QString n = "n", s = "s"; EXPECT_FALSE(p.Identify(n, s)); EXPECT_EQ(n, "n"); EXPECT_EQ(s, "s"); }, std::nullopt, std::nullopt},
        {"Close", [](TPortVirt& p) { p.Close(); }, std::nullopt, std::nullopt},
        {"ClearRx", [](TPortVirt& p) { p.ClearRx(); }, std::nullopt, std::nullopt},
        {"ClearTx", [](TPortVirt& p) { p.ClearTx(); }, std::nullopt, std::nullopt},
        {"line settings", [](TPortVirt& p) {
             p.SetBaudRate(19200); p.SetParity(2); p.SetDataBits(7); p.SetStopBits(2);
             p.SetXonXoff(true); p.SetDtrDsr(true); p.SetRtsCts(true); p.SetDtr(true); p.SetRts(true);
             p.SetLinkOption(1);
         }, std::nullopt, std::nullopt},
    };
    return ops;
}

class ClosedLink : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        TestApp();
        previous_ = SetFtd2xx(&driver_);
        if (GetParam())
            port_ = std::make_unique<TPortUSB>();
        else
            port_ = std::make_unique<TPortCOM>(nullptr);
    }
    void TearDown() override
    {
        port_.reset();
        SetFtd2xx(previous_);
    }
    bool usb() const { return GetParam(); }

    TFakeFtd2xx driver_{QString()};
    TFtd2xx* previous_ = nullptr;
    ScriptedDialogs dialogs_;
    std::unique_ptr<TPortVirt> port_;
};

TEST_P(ClosedLink, ProtocolOperationsRaiseTheirMessagesAndLeaveTheDefaultCursor)
{
    for (int state : {0, -1}) {
        port_->SetState(state);
        for (const Op& op : protocolOps()) {
            SCOPED_TRACE(std::string(op.Name) + " state " + std::to_string(state));
            SetScreenCursor(TCursor::crHourGlass);
            const auto raised = raisedBy(*port_, op.Call);
            const auto& expected = usb() ? op.UsbRaises : op.SerialRaises;
            EXPECT_EQ(raised.value_or("(nothing)"), expected.value_or("(nothing)"));
            if (raised) {
                EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
            }
        }
    }
    // Identification turns its failure into the message box and nothing else is shown.
    EXPECT_EQ(dialogs_.Messages(), QStringList({UnknownBaudrateMessage, UnknownBaudrateMessage}));
    EXPECT_EQ(port_->GetState(), -1);
    EXPECT_EQ(port_->Configured, 0);
    SetScreenCursor(TCursor::crDefault);
}

TEST_P(ClosedLink, RawOperationsReturnMinusOne)
{
    uint8_t b[8] = {};
    EXPECT_EQ(port_->WriteByte(0x40), -1);
    EXPECT_EQ(port_->ReadBuffer(b, 8, 10), -1);
    EXPECT_EQ(port_->ReadByteTimed(10), -1);
    EXPECT_EQ(port_->ReadByte(), -1);
    EXPECT_EQ(port_->RxCount(), -1);
    EXPECT_EQ(port_->TxCount(), -1);
    EXPECT_TRUE(driver_.Calls.isEmpty()) << driver_.Calls.join("; ").toStdString();
}

TEST_P(ClosedLink, FixedAnswers)
{
    QString name;
    port_->LinkName(name);
    EXPECT_EQ(name, usb() ? "USB" : "RS232");
    EXPECT_EQ(port_->MaxBaudRate(), usb() ? 273000 : 115200);
    EXPECT_EQ(port_->GetDsr(), 0);
}

TEST_P(ClosedLink, APositiveStateConfiguresTheLinkForGood)
{
    EXPECT_EQ(port_->Configured, 0);
    port_->SetState(-1);
    EXPECT_EQ(port_->Configured, 0);
    port_->SetState(3);
    EXPECT_EQ(port_->GetState(), 3);
    EXPECT_EQ(port_->Configured, 1);
    port_->SetState(0);
    EXPECT_EQ(port_->Configured, 1);
}

INSTANTIATE_TEST_SUITE_P(Ports, ClosedLink, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Usb" : "Serial"; });

TEST(Checksum, SixteenBitSumThatWraps)
{
    struct Case { std::vector<uint8_t> Data; uint16_t Sum; };
    const std::vector<Case> cases = {
        {{}, 0},
        {{1, 2, 3}, 6},
        {std::vector<uint8_t>(257, 0xFF), static_cast<uint16_t>((257 * 255) % 65536)},
        {std::vector<uint8_t>(528, 0x80), static_cast<uint16_t>(528 * 128)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TPortVirt::Checksum(c.Data.data(), static_cast<uint32_t>(c.Data.size())), c.Sum);
}

TEST(SendEscape, GoesThroughTheActivePort)
{
    TestApp();
    ActivePort = nullptr;
    EXPECT_NO_THROW(SendEscape());
    TPortCOM port(nullptr);
    ActivePort = &port;
    try {
        SendEscape();
        ADD_FAILURE() << "no exception on a closed link";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, PortErrSetcmd);
    }
    ActivePort = nullptr;
}

TEST(PortDevicePath, CodesMapToDevicesUnlessTheEnvironmentSaysOtherwise)
{
    EXPECT_EQ(TPortCtl::PortDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(TPortCtl::PortDevicePath(4), "/dev/ttyS3");
    EXPECT_EQ(TPortCtl::PortDevicePath(5), "/dev/rfcomm5");
    EXPECT_EQ(TPortCtl::PortDevicePath(0), "/dev/rfcomm0");
    qputenv("QUOREL_COM2", "/tmp/instrument-pty");
    EXPECT_EQ(TPortCtl::PortDevicePath(2), "/tmp/instrument-pty");
    qunsetenv("QUOREL_COM2");
    EXPECT_EQ(TPortCtl::PortDevicePath(2), "/dev/ttyS1");
}

} // namespace

// The port picture follows a USB device plugged in, told by the device monitor's socket.
#include "WindowFixture.h"
#include "acquisition/Main.h"
#include "platform/DeviceMonitor.h"
#include "platform/Ftd2xxFake.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <fcntl.h>
#include <unistd.h>

namespace {

class DeviceChangeTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_EQ(pipe2(fds_, O_CLOEXEC | O_NONBLOCK), 0);
        previousFactory_ = TDeviceMonitor::SetSourceFactory([this] {
            TDeviceMonitor::TSource s;
            s.Name = "pipe";
            s.Fd = fds_[0];
            s.Take = [this] {
                char c = 0;
                return ::read(fds_[0], &c, 1) == 1 ? 1 : -1;
            };
            return std::optional(s);
        });
        previousDriver_ = SetFtd2xx(&driver);
    }
    void TearDown() override
    {
        DropWindow();
        SetFtd2xx(previousDriver_);
        TDeviceMonitor::SetSourceFactory(previousFactory_);
        ::close(fds_[0]);
        ::close(fds_[1]);
        WindowTest::TearDown();
    }
    void plug(int devices)
    {
        driver.Devices = devices;
        ASSERT_EQ(::write(fds_[1], "u", 1), 1);
    }
    int pictureWithin(int expected, int timeoutMs) const
    {
        QElapsedTimer t;
        t.start();
        while (picture() != expected && t.elapsed() < timeoutMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return picture();
    }
    int picture() const { return frm->Image2->property("pictureIndex").toInt(); }

    TFakeFtd2xx driver{QString{}};

private:
    int fds_[2] = {-1, -1};
    TDeviceMonitor::TSourceFactory previousFactory_;
    TFtd2xx* previousDriver_ = nullptr;
};

TEST_F(DeviceChangeTest, PluggingTheAdapterInSwitchesThePictureAtOnce)
{
    driver.Devices = 0;
    Remember(WriteFile("usb.ini", "[Communication]\r\nPort=99\r\n"));
    NewWindow().FormCreate(frm.get());
    ASSERT_EQ(picture(), 0);
    TPortVirt* port = ActivePort;

    QElapsedTimer t;
    t.start();
    plug(1);
    EXPECT_EQ(pictureWithin(1, 1000), 1);
    EXPECT_LT(t.elapsed(), 1000) << "not left to a slow poll";
    EXPECT_EQ(ActivePort, port) << "the port object is not touched";
    plug(0);
    EXPECT_EQ(pictureWithin(0, 1000), 0);
}

} // namespace

// The serial port adapter on real pty pairs: the test holds the pty's master end, the adapter
// opens the other end by COM number through the COM map it is given.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <termios.h>

#include "Pty.h"
#include "SerialPort.h"
#include "WaitFor.h"

using namespace lw;
using lw::test::Pty;
using lw::test::waitFor;

namespace {

// The path of the pty's other end, as a COM map holds it.
QString devicePath(const Pty& pty) {
    return QString::fromStdString(pty.path());
}

QByteArray bytesOf(const std::vector<uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(settingsDir.isValid());
    }

    void mapPort(int com, const QString& path) { ports.map(com, path); }
    void mapPort(int com, const Pty& pty) { mapPort(com, devicePath(pty)); }

    QTemporaryDir settingsDir;
    ComPortMap ports;
};

} // namespace

TEST_F(SerialPortTest, ComNumbersMapToDevicesAndAvailability) {
    Pty pty;
    mapPort(2, pty);
    EXPECT_EQ(ports.devicePath(2), devicePath(pty));
    EXPECT_EQ(ports.devicePath(3), "/dev/ttyS2");
    EXPECT_EQ(ports.devicePath(0), "");
    for (const auto& [key, n] : std::vector<std::pair<QString, std::optional<int>>>{
             {"COM1", 1}, {"COM50", 50}, {"COM0", {}}, {"COM01", {}}, {"com1", {}}, {"COMx", {}}})
        EXPECT_EQ(ComPortMap::comNumberOf(key), n) << key.toStdString();

    const QString dangling = settingsDir.filePath("gone");
    ASSERT_TRUE(QFile::link(settingsDir.filePath("nothing-here"), dangling));
    mapPort(4, dangling);
    SerialPort port(ports);
    EXPECT_TRUE(port.isAvailable(2));
    EXPECT_FALSE(port.isAvailable(4));
    EXPECT_FALSE(SerialPort::isDeviceAvailable(settingsDir.filePath("missing")));

    // A device that the port itself holds open still counts as available.
    ASSERT_TRUE(port.setPortNumber(2));
    ASSERT_TRUE(port.open());
    EXPECT_TRUE(port.isAvailable(2));
}

TEST_F(SerialPortTest, EveryParityReachesThePort) {
    const std::pair<Parity, QSerialPort::Parity> cases[] = {
        {Parity::None, QSerialPort::NoParity},     {Parity::Odd, QSerialPort::OddParity},
        {Parity::Even, QSerialPort::EvenParity},   {Parity::Mark, QSerialPort::MarkParity},
        {Parity::Space, QSerialPort::SpaceParity},
    };
    for (const auto& [parity, qt] : cases)
        EXPECT_EQ(SerialPort::qtParity(parity), qt) << static_cast<int>(parity);
}

TEST_F(SerialPortTest, DeliversEveryByteInOrderAndSendsBytes) {
    Pty pty;
    mapPort(1, pty);
    SerialPort port(ports);
    QSignalSpy opened(&port, &SerialPort::portOpened);
    QByteArray received;
    QObject::connect(&port, &SerialPort::dataReceived,
                     [&](const QByteArray& bytes) { received += bytes; });
    ASSERT_TRUE(port.open()) << port.errorString().toStdString();
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).at(0).toInt(), 1);

    // Uneven bursts with the event loop running in between: nothing may be lost or reordered.
    QByteArray sent;
    for (int burst = 0; burst < 200; ++burst) {
        QByteArray chunk;
        for (int i = 0; i < 1 + (burst * 37) % 97; ++i)
            chunk.append(static_cast<char>((burst * 31 + i) & 0xFF));
        pty.write(chunk.toStdString());
        sent += chunk;
        if (burst % 3 == 0)
            lw::test::spin(1);
    }
    ASSERT_TRUE(waitFor([&] { return received.size() >= sent.size(); }));
    EXPECT_EQ(received, sent);

    const uint8_t request[] = {0x01, 0x04, 0x00, 0x00, 0x00, 0x18, 0xF0, 0x00};
    EXPECT_EQ(port.putBytes(request), 0);
    QByteArray onLine;
    ASSERT_TRUE(waitFor([&] { return (onLine += bytesOf(pty.readAvailable())).size() >= 8; }));
    EXPECT_EQ(onLine, QByteArray(reinterpret_cast<const char*>(request), 8));

    port.close();
    EXPECT_EQ(port.putBytes(request), 8); // a closed port refuses every byte
    EXPECT_EQ(port.error(), SerialPort::NotOpenError);
}

TEST_F(SerialPortTest, LineSettingsApplyAtOpenAndAtOnceWhenOpen) {
    // A pty keeps the speed and the stop bits it is given; it forces 8 bits without parity, so
    // those two are left to the device driver here.
    Pty pty;
    mapPort(1, pty);
    SerialPort port(ports);
    ASSERT_TRUE(port.setLineSettings({19200, Parity::Even, 7, 2}));
    ASSERT_TRUE(port.open());
    termios t = pty.settings();
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_TRUE(t.c_cflag & CSTOPB);

    ASSERT_TRUE(port.setLineSettings({9600, Parity::Odd, 8, 1}));
    t = pty.settings();
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_FALSE(t.c_cflag & CSTOPB);

    for (const SerialPort::LineSettings& bad : {SerialPort::LineSettings{9600, Parity::None, 9, 1},
                                                SerialPort::LineSettings{9600, Parity::None, 8, 3},
                                                SerialPort::LineSettings{0, Parity::None, 8, 1}}) {
        EXPECT_FALSE(port.setLineSettings(bad));
        EXPECT_EQ(port.error(), SerialPort::SettingsError);
    }
    EXPECT_EQ(port.lineSettings(), (SerialPort::LineSettings{9600, Parity::Odd, 8, 1}));
}

TEST_F(SerialPortTest, ANewNumberMovesAnOpenPort) {
    Pty first;
    Pty second;
    mapPort(1, first);
    mapPort(2, second);
    SerialPort port(ports);
    QSignalSpy opened(&port, &SerialPort::portOpened);
    QSignalSpy closed(&port, &SerialPort::portClosed);
    QByteArray received;
    QObject::connect(&port, &SerialPort::dataReceived,
                     [&](const QByteArray& bytes) { received += bytes; });
    ASSERT_TRUE(port.open());

    ASSERT_TRUE(port.setPortNumber(2));
    EXPECT_TRUE(port.isOpen());
    ASSERT_EQ(closed.count(), 1);
    EXPECT_EQ(closed.at(0).at(0).toInt(), 1);
    ASSERT_EQ(opened.count(), 2);
    EXPECT_EQ(opened.at(1).at(0).toInt(), 2);

    second.write("from two");
    ASSERT_TRUE(waitFor([&] { return received == "from two"; }));

    // A new map that moves the device of an open port moves the port with it.
    mapPort(2, first);
    ASSERT_TRUE(port.setPortMap(ports));
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(closed.count(), 2);
    first.write("from one");
    ASSERT_TRUE(waitFor([&] { return received == "from twofrom one"; }));

    // A closed port only takes the number; it opens when asked.
    port.close();
    ASSERT_TRUE(port.setPortNumber(1));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(opened.count(), 3);
}

TEST_F(SerialPortTest, ADeviceThatGoesAwayLeavesThePortCleanlyClosed) {
    // The port is configured by a stable name, as a USB adapter's udev link is: pty numbers are
    // reused at once by other tests running in parallel, a removed link is not.
    const QString device = settingsDir.filePath("ttyUSB0");
    auto pty = std::make_unique<Pty>();
    ASSERT_TRUE(QFile::link(devicePath(*pty), device));
    mapPort(1, device);
    SerialPort port(ports);
    QSignalSpy closed(&port, &SerialPort::portClosed);
    QSignalSpy errors(&port, &SerialPort::errorOccurred);
    ASSERT_TRUE(port.open());

    // Unplugged: the other end is gone, the device node with it.
    ASSERT_TRUE(QFile::remove(device));
    pty.reset();
    ASSERT_TRUE(waitFor([&] { return closed.count() == 1; }));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.error(), SerialPort::ResourceError);
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(errors.at(0).at(0).value<SerialPort::Error>(), SerialPort::ResourceError);

    EXPECT_FALSE(port.isAvailable(1));
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.error(), SerialPort::DeviceNotFoundError);

    // The device comes back under the same name.
    Pty again;
    ASSERT_TRUE(QFile::link(devicePath(again), device));
    ASSERT_TRUE(port.open()) << port.errorString().toStdString();
    EXPECT_EQ(port.error(), SerialPort::NoError);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

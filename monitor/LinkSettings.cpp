#include "LinkSettings.h"

#include "MonitorLink.h"
#include "Settings.h"

namespace lw {

void SaveApdComPort1(MonitorLink& link, Profile& user) {
    SerialPort& port = link.GetApdComPort1();
    const SerialPort::LineSettings& line = port.lineSettings();
    writeSerialSettings(user, SettingsScope::User,
                        {port.portNumber(), line.baud, line.parity, line.dataBits, line.stopBits});
    if (link.ComActive() != 1)
        link.setComActive(0);
    writeInteger(user, Setting::TcpActive, link.TCPActive());
    writeInteger(user, Setting::ComActive, link.ComActive());
}

void SaveTCP(const MonitorLink& link, Profile& user) {
    writeInteger(user, Setting::TcpPort, link.TCPPort());
    writeString(user, Setting::TcpAddress, link.TCPAddress());
    writeInteger(user, Setting::TcpActive, link.TCPActive());
    writeInteger(user, Setting::ComActive, link.ComActive());
}

} // namespace lw

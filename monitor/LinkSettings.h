#pragma once
// The operator's own port, the mode and where the service is, saved to the per-user settings as
// the communications window applies them. Each writes its values in its order and leaves the
// mode's pair of "Active" values complementary. ProfileError when the store cannot be written;
// the values written before the failure stay.

namespace lw {

class MonitorLink;
class Profile;

// "ComPortInfo": the port's number and line settings; then the mode: serial mode writes
// "TCPIPInfo"/"Active" = 0, service mode "TCPIPInfo"/"Active" = 1 (and makes ComActive 0); last
// "ComPortInfo"/"Active" = ComActive.
void SaveApdComPort1(MonitorLink& link, Profile& user);
// "TCPIPInfo"/"Port" and "Address"; then "TCPIPInfo"/"Active" = TCPActive and last
// "ComPortInfo"/"Active" = ComActive.
void SaveTCP(const MonitorLink& link, Profile& user);

} // namespace lw

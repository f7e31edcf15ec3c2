#pragma once
// Serial ports as the settings name them: COM<n>, with the device each stands for on this
// machine, and the parity of a line.

#include <QString>
#include <map>
#include <optional>

namespace lw {

enum class Parity { None, Odd, Even, Mark, Space };

// Which device COM<n> is: the one mapped for it (the machine-wide [Ports] group, "COM1" =
// "/dev/ttyUSB0", or a pty in tests), else /dev/ttyS<n-1>.
class ComPortMap {
public:
    void map(int comNumber, const QString& device) { devices_[comNumber] = device; }
    // Empty for n < 1.
    QString devicePath(int comNumber) const;
    const std::map<int, QString>& mapped() const { return devices_; }

    // n for a key "COM<n>" (n from 1), else empty.
    static std::optional<int> comNumberOf(const QString& key);

    bool operator==(const ComPortMap&) const = default;

private:
    std::map<int, QString> devices_;
};

} // namespace lw

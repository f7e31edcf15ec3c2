#include "ComPorts.h"

namespace lw {
namespace {

constexpr char kDefaultDevicePrefix[] = "/dev/ttyS";
constexpr char kComPrefix[] = "COM";

} // namespace

QString ComPortMap::devicePath(int comNumber) const {
    if (comNumber < 1)
        return {};
    const auto it = devices_.find(comNumber);
    if (it != devices_.end() && !it->second.isEmpty())
        return it->second;
    return kDefaultDevicePrefix + QString::number(comNumber - 1);
}

std::optional<int> ComPortMap::comNumberOf(const QString& key) {
    if (!key.startsWith(QLatin1String(kComPrefix)))
        return std::nullopt;
    const QString digits = key.mid(3);
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (!ok || n < 1 || digits.startsWith('0') || digits.startsWith('+'))
        return std::nullopt;
    return n;
}

} // namespace lw

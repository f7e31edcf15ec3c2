#pragma once
// The emulator's end of a serial line: the master of a new pty pair, or a device it opens.
// Raw 8-bit mode, non-blocking. POSIX only.

#include <string>

namespace lw::sim {

class SerialLine {
public:
    // A new pty pair. With `holdPeer` the emulator keeps the pty's other end open too, so the
    // programs may close and reopen it without the line ever hanging up.
    static SerialLine createPty(bool holdPeer);
    // An existing device (another pty's end, a serial port), at `baud` when above 0.
    static SerialLine openDevice(const std::string& path, int baud);

    SerialLine(SerialLine&& other) noexcept;
    SerialLine& operator=(SerialLine&&) = delete;
    ~SerialLine();

    int fd() const { return fd_; }
    // The path the programs open: the pty's other end, or the device.
    const std::string& peerPath() const { return peerPath_; }

    // Points a symlink at peerPath(), replacing whatever is at `linkPath` in one step.
    void link(const std::string& linkPath);
    // Removes the symlink made by link() when it still points at this line.
    void unlink();

private:
    SerialLine(int fd, int heldPeerFd, std::string peerPath);

    int fd_ = -1;
    int heldPeerFd_ = -1;
    std::string peerPath_;
    std::string linkPath_;
};

} // namespace lw::sim

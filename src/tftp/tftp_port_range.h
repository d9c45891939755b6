#pragma once

namespace kestrix {

// The process-wide range of local ports for TFTP connections. 0 and 0 (the
// default) let the system choose a port. The settings file sets it at
// start-up; every connection reads it when it is made.
struct TftpPortRange {
    int minPort = 0;
    int maxPort = 0;
};

TftpPortRange tftpPortRange();
void setTftpPortRange(TftpPortRange range);

} // namespace kestrix

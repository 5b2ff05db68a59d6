// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SIM_PTY_H
#define SIM_PTY_H

#include "simsensor.h"

#include <algorithm>

namespace sim {

// Opens a pty master (non-blocking) and one raw slave descriptor.
bool openPty(int &master, int &slave, std::string &devicePath);
// Creates <simulatorDirectory()>/simulated-sensor-<pid>-<n> -> devicePath;
// empty when the directory is not private (see isPrivateDirectory).
std::string makeLink(const std::string &devicePath);
void removeLink(std::string &link);
// Makes `path` (again) a link to devicePath; false on failure.
bool makeLinkAt(const std::string &path, const std::string &devicePath);
// The host side's configured speed as a number (0 when not a known speed).
int speedOf(int fd);

} // namespace sim

#endif // SIM_PTY_H

// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SIM_PTY_H
#define SIM_PTY_H

#include <algorithm>
#include <string>
#include <vector>

namespace sim {

// Directory where running simulators leave their symlinks, so that the
// viewer's port chooser can list them after the system's ports: $ZN84_SIM_DIR
// when set, else $XDG_RUNTIME_DIR/zn84-sim, else $TMPDIR (or /tmp)/zn84-sim-<uid>.
// It is created with mode 0700; the viewer lists it only while it is the
// user's own and no one else may write it.
std::string simulatorDirectory();
// Whether `dir` is a directory (not a link) of the user's own that neither
// the group nor others may write.
bool isPrivateDirectory(const std::string &dir);
// Paths of running simulators (dangling links, links to anything but a
// character device, and every link of a folder that is not private are skipped).
std::vector<std::string> runningSimulators();


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

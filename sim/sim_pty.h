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

} // namespace sim

#endif // SIM_PTY_H

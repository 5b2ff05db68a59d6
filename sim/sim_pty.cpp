// SPDX-License-Identifier: GPL-3.0-or-later
// Pseudo-terminal and the self-describing link that the port chooser lists.

#include "sim_pty.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {
const char kLinkPrefix[] = "simulated-sensor-";
std::atomic<int> linkCounter{0};
} // namespace

std::string simulatorDirectory()
{
    // A folder named by the environment first (the tests and the demo may set
    // it), else the user's private runtime folder, else a folder of the
    // user's own under the temporary directory. Never a folder shared by
    // everyone: whatever lies in it is offered to the operator as a sensor.
    const char *named = std::getenv("ZN84_SIM_DIR");
    if (named && *named)
        return named;
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/zn84-sim";
    const char *tmp = std::getenv("TMPDIR");
    std::string base = (tmp && *tmp) ? tmp : "/tmp";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/zn84-sim-" + std::to_string(geteuid());
}

bool isPrivateDirectory(const std::string &dir)
{
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return st.st_uid == geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::vector<std::string> runningSimulators()
{
    std::vector<std::string> result;
    const std::string dir = simulatorDirectory();
    if (!isPrivateDirectory(dir))
        return result;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return result;
    while (dirent *e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.compare(0, sizeof kLinkPrefix - 1, kLinkPrefix) != 0)
            continue;
        // The owner's pid is part of the name: links left by a crashed
        // simulator may point at a pty that now belongs to someone else.
        const long pid = std::strtol(name.c_str() + sizeof kLinkPrefix - 1, nullptr, 10);
        if (pid <= 0 || (kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM))
            continue;
        const std::string path = dir + "/" + name;
        struct stat link;
        struct stat st;
        if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) || link.st_uid != geteuid())
            continue;
        if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
            continue;
        result.push_back(path);
    }
    closedir(d);
    std::sort(result.begin(), result.end());
    return result;
}

bool openPty(int &master, int &slave, std::string &devicePath)
{
    master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0)
        return false;
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        close(master);
        master = -1;
        return false;
    }
    // One slave descriptor stays open for the simulator's whole life: the
    // master then never reads EIO when the viewer closes its end, and the raw
    // settings below stay in force between viewers (no echo of the stream).
    slave = open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) {
        close(master);
        master = -1;
        return false;
    }
    termios tio;
    if (tcgetattr(slave, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetspeed(&tio, B115200);
        tio.c_cflag |= CLOCAL | CREAD;
        tcsetattr(slave, TCSANOW, &tio);
    }
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    devicePath = name;
    return true;
}

std::string makeLink(const std::string &devicePath)
{
    // Only the user may write the folder (0700), and one that is not the
    // user's own or that others may write gets no link: the viewer would not
    // list it there either.
    const std::string dir = simulatorDirectory();
    mkdir(dir.c_str(), 0700);
    if (!isPrivateDirectory(dir))
        return std::string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = dir + "/" + kLinkPrefix + std::to_string(getpid()) + "-"
                + std::to_string(linkCounter.fetch_add(1));
        if (symlink(devicePath.c_str(), path.c_str()) == 0)
            return path;
        if (errno != EEXIST)
            break;
    }
    return std::string();
}

bool makeLinkAt(const std::string &path, const std::string &devicePath)
{
    mkdir(simulatorDirectory().c_str(), 0777);
    unlink(path.c_str());
    return symlink(devicePath.c_str(), path.c_str()) == 0;
}

int speedOf(int fd)
{
    termios tio;
    if (fd < 0 || tcgetattr(fd, &tio) != 0)
        return 0;
    static const struct { speed_t code; int baud; } speeds[] = {
        {B1200, 1200}, {B2400, 2400}, {B4800, 4800}, {B9600, 9600}, {B19200, 19200},
        {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
        {B460800, 460800}, {B500000, 500000}, {B576000, 576000}, {B921600, 921600},
        {B1000000, 1000000}, {B1152000, 1152000}, {B1500000, 1500000}, {B2000000, 2000000},
    };
    const speed_t code = cfgetospeed(&tio);
    for (const auto &s : speeds) {
        if (s.code == code)
            return s.baud;
    }
    return 0;
}

void removeLink(std::string &link)
{
    if (!link.empty())
        unlink(link.c_str());
    link.clear();
}

} // namespace sim

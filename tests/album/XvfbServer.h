// A private X server for tests of the stand-alone programs, on a display number it chooses
// itself, stopped with the object.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

class XvfbServer
{
public:
    explicit XvfbServer(const std::string& screen = "800x600x24")
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        mPid = fork();
        if (mPid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char buffer[32] = {};
        // Xvfb writes the display number once it accepts clients.
        const ssize_t got = read(fds[0], buffer, sizeof buffer - 1);
        close(fds[0]);
        if (got > 1)
            mDisplay = ":" + std::string(buffer, static_cast<std::size_t>(got - 1));
    }
    ~XvfbServer()
    {
        if (mPid > 0) {
            kill(mPid, SIGTERM);
            waitpid(mPid, nullptr, 0);
        }
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Empty when the server did not start.
    const std::string& display() const { return mDisplay; }

private:
    pid_t mPid = -1;
    std::string mDisplay;
};

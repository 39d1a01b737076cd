// A private X server for tests and benchmarks of the stand-alone programs, on a display number
// it chooses itself, stopped with the object.
#pragma once

#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

class XvfbServer
{
public:
    explicit XvfbServer(const std::string& screen = "800x600x24")
    {
        // A second try covers a display number taken by another server between its check and
        // its start.
        for (int attempt = 0; attempt < 2 && mDisplay.empty(); ++attempt)
            start(screen);
    }
    ~XvfbServer() { stop(); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Empty when the server did not start; error() then says why.
    const std::string& display() const { return mDisplay; }
    const std::string& error() const { return mError; }

private:
    void start(const std::string& screen)
    {
        int fds[2];
        // Its messages go to a file in memory, which never blocks or breaks like a pipe.
        const int errors = memfd_create("xvfb-messages", MFD_CLOEXEC);
        if (errors < 0 || pipe(fds) != 0) {
            mError = "pipe failed";
            return;
        }
        mPid = fork();
        if (mPid == 0) {
            close(fds[0]);
            dup2(errors, 2);
            const std::string fd = std::to_string(fds[1]);
            // No reset when the last client leaves: a desktop always has clients, and a reset
            // makes the next client wait 0.1 s for its connection.
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                   "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // Xvfb writes the display number once it accepts clients, and the newline in a write
        // of its own: reading on to the newline keeps the pipe open for it.
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (c == '\n' && !number.empty()) {
            mDisplay = ":" + number;
            close(errors);
            return;
        }
        stop();
        mError.clear();
        char text[4096];
        for (ssize_t n; (n = pread(errors, text, sizeof text, off_t(mError.size()))) > 0;)
            mError.append(text, static_cast<std::size_t>(n));
        close(errors);
    }

    void stop()
    {
        if (mPid > 0) {
            kill(mPid, SIGTERM);
            waitpid(mPid, nullptr, 0);
            mPid = -1;
        }
    }

    pid_t mPid = -1;
    std::string mDisplay;
    std::string mError;
};

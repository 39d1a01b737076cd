// Starting a program under test with an environment of our own and its output caught, and
// running a shell command for its output.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// Starts arguments[0] with exactly the given environment; its standard output and errors go to
// outputFd, and each {childFd, ourFd} of moreFds gives the child ourFd as childFd. Returns -1
// when fork fails; the caller waits for the child.
inline pid_t startProgram(const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment, int outputFd,
                          std::initializer_list<std::pair<int, int>> moreFds = {})
{
    // Built before fork: the child of a threaded test may not allocate.
    std::vector<char*> argv, envp;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    for (const std::string& variable : environment)
        envp.push_back(const_cast<char*>(variable.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const std::vector<std::pair<int, int>> fds(moreFds);
    const pid_t child = fork();
    if (child == 0) {
        dup2(outputFd, 1);
        dup2(outputFd, 2);
        for (const auto& [childFd, ourFd] : fds)
            dup2(ourFd, childFd);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return child;
}

// The standard output of a shell command line (the tools the tests drive, such as xdotool).
inline std::string shell(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, got);
        pclose(pipe);
    }
    return output;
}

} // namespace testsupport

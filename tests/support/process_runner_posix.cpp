#include "tests/support/process_runner.h"

#include "runtime/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

std::string buildProgramPath(const std::string& name)
{
    char* folder = getModuleDirectory();
    std::string path = folder ? std::string(folder) + "/" + name : name;
    std::free(folder);
    return path;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options)
{
    ProcessResult result;
    int outPipe[2] = {-1, -1};
    if (options.stdoutMode != StdoutMode::Closed && pipe(outPipe) != 0)
        return result;
    if (options.stdoutMode == StdoutMode::ClosedEarly) {
        close(outPipe[0]);
        outPipe[0] = -1;
    }
    FILE* errFile = std::tmpfile();

    std::vector<std::string> argvStorage;
    argvStorage.push_back(program);
    argvStorage.insert(argvStorage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : argvStorage)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        if (options.stdoutMode == StdoutMode::Closed) {
            close(STDOUT_FILENO);
        } else {
            dup2(outPipe[1], STDOUT_FILENO);
            close(outPipe[1]);
            if (outPipe[0] != -1)
                close(outPipe[0]);
        }
        if (errFile)
            dup2(fileno(errFile), STDERR_FILENO);
        for (const auto& [name, value] : options.setEnvironment)
            setenv(name.c_str(), value.c_str(), 1);
        for (const auto& name : options.unsetEnvironment)
            unsetenv(name.c_str());
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (outPipe[1] != -1)
        close(outPipe[1]);
    if (pid < 0) {
        if (outPipe[0] != -1)
            close(outPipe[0]);
        if (errFile)
            std::fclose(errFile);
        return result;
    }
    result.started = true;
    if (outPipe[0] != -1) {
        uint8_t chunk[65536];
        for (;;) {
            const ssize_t n = read(outPipe[0], chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            result.out.insert(result.out.end(), chunk, chunk + n);
        }
        close(outPipe[0]);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (errFile) {
        std::rewind(errFile);
        int c;
        while ((c = std::fgetc(errFile)) != EOF)
            result.err.push_back(static_cast<char>(c));
        std::fclose(errFile);
    }
    return result;
}

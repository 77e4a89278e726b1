#include "tools/pdf3d/worker_process.h"

#include "runtime/platform.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The worker's stream can never be larger than its payload limit plus a header and
// a message; more than this is a worker gone wrong.
constexpr uint64_t kMaxStreamBytes = kPayloadLimitBytes + (1u << 20);
constexpr const char* kTempPrefix = "pdf3d-";

// Removes the temporary file whatever happens on the way.
struct TempFile {
    char* path = nullptr;
    ~TempFile()
    {
        if (path) {
            deleteFileUtf8(path);
            std::free(path);
        }
    }
};

std::string signalText(int sig)
{
    const char* name = strsignal(sig);
    return std::string("killed by signal ") + std::to_string(sig) + (name ? std::string(" (") + name + ")" : "");
}

void childSide(const std::string& program, std::vector<std::string>& args, int outFd, uint64_t maxMemoryMiB)
{
    dup2(outFd, STDOUT_FILENO);
    close(outFd);
    const int devNull = open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDERR_FILENO);
    }
    if (kMemoryLimitEnforced) {
        rlimit memory{};
        memory.rlim_cur = memory.rlim_max = static_cast<rlim_t>(maxMemoryMiB) << 20;
        setrlimit(RLIMIT_AS, &memory);
    }
    rlimit core{};
    setrlimit(RLIMIT_CORE, &core);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

} // namespace

const char* outcomeName(WorkerOutcome outcome)
{
    switch (outcome) {
    case WorkerOutcome::Ok: return "ok";
    case WorkerOutcome::Failed: return "failed";
    case WorkerOutcome::Crashed: return "crashed";
    case WorkerOutcome::TimedOut: return "timed out";
    case WorkerOutcome::Malformed: return "malformed stream";
    case WorkerOutcome::NotStarted: return "not started";
    }
    return "?";
}

std::string workerFileName(ModelFormat format)
{
    return format == ModelFormat::U3d ? "heron_scan" : "marlin_scan";
}

std::string defaultWorkerFolder()
{
    char* folder = getModuleDirectory();
    std::string result = folder ? folder : ".";
    std::free(folder);
    return result;
}

WorkerRun runWorker(const std::string& workerFolder, ModelFormat format, const std::vector<uint8_t>& data,
                    const std::string& documentFolder, const WorkerLimits& limits)
{
    WorkerRun run;
    const std::string program = workerFolder + "/" + workerFileName(format);
    if (access(program.c_str(), X_OK) != 0) {
        run.message = "worker " + program + " not found";
        return run;
    }
    TempFile temp;
    temp.path = writeTempFile(kTempPrefix, data.data(), data.size());
    if (!temp.path) {
        run.message = "cannot write the temporary file";
        return run;
    }
    std::vector<std::string> args{program, temp.path};
    if (format == ModelFormat::U3d && !documentFolder.empty())
        args.push_back(documentFolder);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        run.message = "cannot create a pipe";
        return run;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        childSide(program, args, pipeFds[1], limits.maxMemoryMiB);
    }
    close(pipeFds[1]);
    if (pid < 0) {
        close(pipeFds[0]);
        run.message = "cannot start the worker";
        return run;
    }

    const auto deadline = start + std::chrono::duration<double>(limits.timeoutSeconds);
    bool timedOut = false;
    bool tooLong = false;
    uint8_t chunk[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{pipeFds[0], POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        const ssize_t n = read(pipeFds[0], chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break;
        if (run.rawStream.size() + static_cast<size_t>(n) > kMaxStreamBytes) {
            tooLong = true;
            break;
        }
        run.rawStream.insert(run.rawStream.end(), chunk, chunk + n);
    }
    close(pipeFds[0]);
    if (timedOut || tooLong)
        kill(pid, SIGKILL);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakMemoryMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;

    if (timedOut) {
        run.outcome = WorkerOutcome::TimedOut;
        run.message = "killed after the time limit of " + std::to_string(limits.timeoutSeconds) + " s";
        return run;
    }
    if (tooLong) {
        run.outcome = WorkerOutcome::Malformed;
        run.message = "worker wrote more than the largest possible stream";
        return run;
    }
    if (WIFSIGNALED(status)) {
        run.signal = WTERMSIG(status);
        run.outcome = WorkerOutcome::Crashed;
        run.message = signalText(run.signal);
        return run;
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (run.exitCode != 0) {
        run.outcome = WorkerOutcome::Crashed;
        run.message = run.exitCode == 127 ? "worker could not be started (exit code 127)"
                                          : "exit code " + std::to_string(run.exitCode);
        return run;
    }
    const StreamForm form = format == ModelFormat::U3d ? StreamForm::U3d : StreamForm::Prc;
    std::string error;
    if (!parseResultStream(form, run.rawStream.data(), run.rawStream.size(), run.stream, error)) {
        run.outcome = WorkerOutcome::Malformed;
        run.message = error;
        return run;
    }
    if (!run.stream.ok) {
        run.outcome = WorkerOutcome::Failed;
        run.message = run.stream.message;
        if (form == StreamForm::Prc && run.message.empty()) {
            static const char* const kStatus[] = {"no 3D data", "no triangle", "cannot be decoded"};
            const uint32_t s = run.stream.prcHeader.status;
            run.message = s < 3 ? kStatus[s] : "status " + std::to_string(s);
        }
        return run;
    }
    run.outcome = WorkerOutcome::Ok;
    return run;
}

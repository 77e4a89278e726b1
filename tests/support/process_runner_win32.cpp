#include "tests/support/process_runner.h"

#include "runtime/platform.h"
#include "runtime/utf.h"

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <optional>

namespace {

std::wstring widen(const std::string& text)
{
    std::u16string out;
    utf8ToUtf16Lossy(text, out);
    return std::wstring(out.begin(), out.end());
}

// Quotes one argument so that the C runtime's splitting gives it back unchanged.
std::wstring quoteArgument(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

// Sets a variable for the life of the object and restores the previous state after.
class ScopedVariable {
public:
    ScopedVariable(const std::wstring& name, const std::optional<std::wstring>& value) : name_(name)
    {
        wchar_t buffer[32768];
        const DWORD n = GetEnvironmentVariableW(name.c_str(), buffer, 32768);
        if (n > 0 && n < 32768)
            previous_ = std::wstring(buffer, n);
        SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
    }
    ~ScopedVariable() { SetEnvironmentVariableW(name_.c_str(), previous_ ? previous_->c_str() : nullptr); }

private:
    std::wstring name_;
    std::optional<std::wstring> previous_;
};

} // namespace

std::string buildProgramPath(const std::string& name)
{
    char* folder = getModuleDirectory();
    std::string path = folder ? std::string(folder) + "\\" + name + ".exe" : name + ".exe";
    std::free(folder);
    return path;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options)
{
    ProcessResult result;
    std::vector<std::unique_ptr<ScopedVariable>> variables;
    for (const auto& [name, value] : options.setEnvironment)
        variables.push_back(std::make_unique<ScopedVariable>(widen(name), widen(value)));
    for (const auto& name : options.unsetEnvironment)
        variables.push_back(std::make_unique<ScopedVariable>(widen(name), std::nullopt));

    std::wstring commandLine = quoteArgument(widen(program));
    if (options.useRawCommandTail) {
        commandLine += widen(options.rawCommandTail);
    } else {
        for (const auto& arg : arguments)
            commandLine += L" " + quoteArgument(widen(arg));
    }

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (options.stdoutMode != StdoutMode::Closed) {
        if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
            return result;
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        if (options.stdoutMode == StdoutMode::ClosedEarly) {
            CloseHandle(readEnd);
            readEnd = nullptr;
        }
    }
    wchar_t errName[MAX_PATH];
    wchar_t tempFolder[MAX_PATH];
    GetTempPathW(MAX_PATH, tempFolder);
    GetTempFileNameW(tempFolder, L"qve", 0, errName);
    HANDLE errFile = CreateFileW(errName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = writeEnd ? writeEnd : INVALID_HANDLE_VALUE;
    startup.hStdError = errFile;
    PROCESS_INFORMATION info{};
    const BOOL created = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &info);
    if (writeEnd)
        CloseHandle(writeEnd);
    if (created) {
        result.started = true;
        if (readEnd) {
            char chunk[65536];
            DWORD n = 0;
            while (ReadFile(readEnd, chunk, sizeof chunk, &n, nullptr) && n > 0)
                result.out.insert(result.out.end(), chunk, chunk + n);
        }
        WaitForSingleObject(info.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        result.exitCode = static_cast<int>(code);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    if (readEnd)
        CloseHandle(readEnd);
    if (errFile != INVALID_HANDLE_VALUE) {
        SetFilePointer(errFile, 0, nullptr, FILE_BEGIN);
        char chunk[4096];
        DWORD n = 0;
        while (ReadFile(errFile, chunk, sizeof chunk, &n, nullptr) && n > 0)
            result.err.append(chunk, n);
        CloseHandle(errFile);
    }
    DeleteFileW(errName);
    return result;
}

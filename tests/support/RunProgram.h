#pragma once

// Runs a built program as a user would, with its own environment, standard input from a file
// and its output and error text captured, for the end-to-end tests. POSIX: fork and execve;
// Windows: CreateProcessW with a quoted command line.

#include "support/TempFolder.h"

#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <cwctype>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace brasslane::test {

struct ProgramRun {
    int status = -1; // the exit code; -1 when the program could not run or did not exit
    std::string out;
    std::string err;
};

#ifdef _WIN32
namespace detail {
inline std::wstring Wide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}
inline std::string Narrow(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n, nullptr, nullptr);
    return narrow;
}
// One argument as the C runtime splits command lines: quoted, with the backslashes before a
// quote doubled.
inline void AppendQuoted(std::wstring& line, const std::wstring& arg) {
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}
inline HANDLE Inheritable(const std::filesystem::path& file, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(file.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
} // namespace detail
#endif

// The current process's environment as NAME=value entries.
inline std::vector<std::string> CurrentEnvironment() {
    std::vector<std::string> entries;
#ifdef _WIN32
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* e = block; e != nullptr && *e != L'\0'; e += wcslen(e) + 1) {
        entries.push_back(detail::Narrow(e));
    }
    FreeEnvironmentStringsW(block);
#else
    for (char** e = environ; *e != nullptr; ++e) {
        entries.emplace_back(*e);
    }
#endif
    return entries;
}

// Runs argv[0] with the remaining arguments and exactly the environment `env`; standard input
// is `input`. Scratch files go to `folder`.
inline ProgramRun RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                             const std::filesystem::path& folder, const std::string& input = {}) {
    const std::filesystem::path inFile = folder / ".stdin";
    const std::filesystem::path outFile = folder / ".stdout";
    const std::filesystem::path errFile = folder / ".stderr";
    WriteBytes(inFile, input);
    ProgramRun run;
#ifdef _WIN32
    std::wstring line;
    for (const std::string& arg : argv) {
        if (!line.empty()) {
            line += L' ';
        }
        detail::AppendQuoted(line, detail::Wide(arg));
    }
    // The block is sorted by name, as the system keeps it, and ends with an empty entry.
    std::vector<std::wstring> sorted;
    for (const std::string& e : env) {
        sorted.push_back(detail::Wide(e));
    }
    std::sort(sorted.begin(), sorted.end(), [](const std::wstring& a, const std::wstring& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](wchar_t x, wchar_t y) { return std::towupper(x) < std::towupper(y); });
    });
    std::wstring block;
    for (const std::wstring& e : sorted) {
        block += e;
        block += L'\0';
    }
    block += L'\0';
    HANDLE in = detail::Inheritable(inFile, false);
    HANDLE out = detail::Inheritable(outFile, true);
    HANDLE err = detail::Inheritable(errFile, true);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr,
                       &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code)) {
            run.status = static_cast<int>(code);
        }
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    for (HANDLE h : {in, out, err}) {
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
    }
#else
    std::vector<std::string> args = argv;
    std::vector<std::string> entries = env;
    std::vector<char*> argp;
    for (std::string& a : args) {
        argp.push_back(a.data());
    }
    argp.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : entries) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int inFd = open(inFile.c_str(), O_RDONLY);
        const int outFd = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int errFd = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(inFd, 0);
        dup2(outFd, 1);
        dup2(errFd, 2);
        execve(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid) {
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
#endif
    run.out = ReadBytes(outFile);
    run.err = ReadBytes(errFile);
    std::error_code ec;
    for (const auto& file : {inFile, outFile, errFile}) {
        std::filesystem::remove(file, ec);
    }
    return run;
}

} // namespace brasslane::test

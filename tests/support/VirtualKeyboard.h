#pragma once

// Runs brasslane-vhid on a folder of a temporary folder for one test: the simulated keyboard
// behind FUSE files, reached by the hidraw backend through <mount>/sys and <mount>/dev. Where
// FUSE cannot be mounted (no /dev/fuse, no right to use it) Start says why, and the test skips.
// The test program names the built tool in BRASSLANE_VHID; without it Start says so.

#include "support/TempFolder.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brasslane::test {

class VirtualKeyboard {
public:
    explicit VirtualKeyboard(const std::filesystem::path& folder)
        : m_mount(folder / "vhid"), m_log(folder / "vhid.log") {
        std::filesystem::create_directories(m_mount);
    }
    ~VirtualKeyboard() { Stop(); }
    VirtualKeyboard(const VirtualKeyboard&) = delete;
    VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

    // Mounts the virtual keyboard; empty on success, else the reason it could not be mounted.
    std::string Start(const std::vector<std::string>& options = {}) {
        if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            return "FUSE cannot be mounted here: /dev/fuse is missing or not usable by this user";
        }
        if (Program() == nullptr) {
            return "brasslane-vhid is not built (libfuse3 was not found)";
        }
        std::vector<std::string> args{Program()};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(m_mount.string());
        m_pid = ::fork();
        if (m_pid == 0) {
            const int log = ::open(m_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (log >= 0) {
                ::dup2(log, 1);
                ::dup2(log, 2);
            }
            std::vector<char*> argv;
            for (auto& arg : args) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        if (m_pid < 0) {
            return "cannot start brasslane-vhid";
        }
        // The guard only keeps a broken mount from hanging the test.
        const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < guard) {
            std::error_code ec;
            if (std::filesystem::exists(m_mount / "control", ec)) {
                return {};
            }
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return "FUSE cannot be mounted here: " + Log();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Stop();
        return "FUSE cannot be mounted here: brasslane-vhid did not come up within 10 s";
    }

    // Unmounts; the program saves its --state file on the way out. True when it ended cleanly.
    bool Stop() {
        if (m_pid <= 0) {
            return true;
        }
        ::kill(m_pid, SIGTERM);
        int status = 0;
        const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > guard) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_pid = -1;
        ::umount2(m_mount.c_str(), MNT_DETACH); // only does something after a killed program
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // Writes one command to the control file; false when the program refused it.
    bool Control(const std::string& command) {
        std::ofstream control(m_mount / "control");
        control << command << "\n";
        control.flush();
        return static_cast<bool>(control);
    }

    // A value of the control file's status ("plugged", "consumer-readers", ...); -1 when absent.
    long Status(const std::string& name) const {
        std::ifstream control(m_mount / "control");
        std::string key;
        long value = 0;
        std::string rest;
        while (control >> key) {
            if (key == name && control >> value) {
                return value;
            }
            std::getline(control, rest);
        }
        return -1;
    }

    // Waits until the status `name` reaches `value`; the guard only keeps a broken test from hanging.
    bool WaitForStatus(const std::string& name, long value) const {
        const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < guard) {
            if (Status(name) == value) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    std::filesystem::path SysRoot() const { return m_mount / "sys"; }
    std::filesystem::path DevRoot() const { return m_mount / "dev"; }
    std::vector<std::string> Environment() const {
        return {"BRASSLANE_SYSFS_ROOT=" + SysRoot().string(), "BRASSLANE_DEV_ROOT=" + DevRoot().string()};
    }

    std::string Log() const {
        std::ifstream in(m_log);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    static const char* Program() {
#if defined(BRASSLANE_VHID)
        return BRASSLANE_VHID;
#else
        return nullptr;
#endif
    }

    std::filesystem::path m_mount;
    std::filesystem::path m_log;
    pid_t m_pid = -1;
};

} // namespace brasslane::test

// brasslane-vhid: the simulated keyboard behind real files. A FUSE file system that shows a
// sysfs-shaped tree and hidraw-like device nodes, so that the hidraw backend, the connection
// monitor and hot-plug run through the kernel's file calls exactly as with the keyboard itself:
//
//   brasslane-vhid [--model 7672|505b] [--state FILE] [--unplugged] MOUNTPOINT
//   BRASSLANE_SYSFS_ROOT=MOUNTPOINT/sys BRASSLANE_DEV_ROOT=MOUNTPOINT/dev brasslanectl info
//
// Each device node moves one report per read() and write(), blocks in read() until a report
// comes unless opened O_NONBLOCK, and answers poll(): always writable, readable while a report
// waits, POLLERR | POLLHUP once the keyboard has gone. The control file takes one command per
// line (see kUsage); reading it tells the keyboard's state.

#define FUSE_USE_VERSION 312

#include "VhidTree.h"

#include "platform/KeyboardBackend.h"
#include "platform/sim/SimHidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <fuse.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brasslane::vhid {
namespace {

constexpr const char* kUsage =
    "usage: brasslane-vhid [--model 7672|505b] [--state FILE] [--unplugged] MOUNTPOINT\n"
    "control file commands (one per line):\n"
    "  plug | unplug | replug       change the keyboard's presence\n"
    "  notify USAGE                 raise a consumer-control notification (hexadecimal: 0401, 1811)\n"
    "  faults LIST                  simulator faults as BRASSLANE_SIM_FAULTS takes them; empty: none\n"
    "  deny-open on|off             opening a device node fails with EACCES, as without the device rule\n"
    "  save                         write the keyboard's state to the --state file\n";

// hidraw keeps at most this many unread reports per open file and drops the oldest.
constexpr std::size_t kMaxQueued = 64;
constexpr std::size_t kReportBuffer = 4096;

// One open device node: its own handle on the simulated interface, and a pump thread that moves
// the interface's input reports into a queue read() and poll() look at, as hidraw's per-file
// ring buffer.
class OpenNode {
public:
    OpenNode(std::unique_ptr<HidHandle> handle, sim::SimHidBackend& backend, int interface, bool read, bool nonBlocking)
        : m_handle(std::move(handle)), m_interface(interface), m_nonBlocking(nonBlocking),
          m_pumpStop(backend.CreateStopEvent()), m_writeStop(backend.CreateStopEvent()) {
        if (read) {
            m_pump = std::thread([this] { Pump(); });
        }
    }
    ~OpenNode() {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
            if (m_poll != nullptr) {
                fuse_pollhandle_destroy(m_poll);
                m_poll = nullptr;
            }
        }
        m_changed.notify_all();
        m_pumpStop->Signal();
        m_writeStop->Signal();
        if (m_pump.joinable()) {
            m_pump.join();
        }
    }
    OpenNode(const OpenNode&) = delete;
    OpenNode& operator=(const OpenNode&) = delete;

    // One report into `out`; a negative errno on failure.
    int Read(char* out, std::size_t size, const std::atomic<bool>& exiting) {
        std::unique_lock lock(m_mutex);
        while (m_queue.empty()) {
            if (m_dead) {
                return -EIO; // what hidraw's read gives once the device has gone
            }
            if (m_nonBlocking) {
                return -EAGAIN;
            }
            // Wake now and then to notice an interrupted request or the end of the file system.
            m_changed.wait_for(lock, std::chrono::milliseconds(50));
            if (fuse_interrupted() || exiting || m_closing) {
                return -EINTR;
            }
        }
        std::vector<std::uint8_t> report = std::move(m_queue.front());
        m_queue.pop_front();
        const std::size_t count = std::min(size, report.size());
        std::memcpy(out, report.data(), count);
        return static_cast<int>(count);
    }

    int Write(const char* data, std::size_t size) {
        if (m_dead) {
            return -ENODEV;
        }
        std::vector<std::uint8_t> report;
        // The keystroke interface has no report ids: hidraw takes its reports without one.
        if (m_interface == 0) {
            report.push_back(0);
        }
        report.insert(report.end(), data, data + size);
        std::size_t transferred = 0;
        switch (m_handle->Write(report, transferred, kInfinite, *m_writeStop)) {
        case HidIoResult::kDone:
            return static_cast<int>(size);
        case HidIoResult::kStopped:
        case HidIoResult::kTimeout:
            return -EINTR;
        case HidIoResult::kFailed:
            break;
        }
        return -EIO;
    }

    unsigned Poll(fuse_pollhandle* handle) {
        std::lock_guard lock(m_mutex);
        if (handle != nullptr) {
            if (m_poll != nullptr) {
                fuse_pollhandle_destroy(m_poll);
            }
            m_poll = handle;
        }
        if (m_dead) {
            return POLLERR | POLLHUP;
        }
        unsigned events = POLLOUT | POLLWRNORM;
        if (!m_queue.empty()) {
            events |= POLLIN | POLLRDNORM;
        }
        return events;
    }

private:
    void Pump() {
        std::vector<std::uint8_t> buffer(kReportBuffer);
        for (;;) {
            std::size_t transferred = 0;
            const HidIoResult result = m_handle->Read(buffer, transferred, kInfinite, *m_pumpStop);
            std::unique_lock lock(m_mutex);
            if (m_closing || result == HidIoResult::kStopped) {
                return;
            }
            if (result == HidIoResult::kDone) {
                const std::size_t skip = m_interface == 0 ? 1 : 0;
                if (transferred > skip) {
                    m_queue.emplace_back(buffer.begin() + static_cast<std::ptrdiff_t>(skip),
                                         buffer.begin() + static_cast<std::ptrdiff_t>(transferred));
                    if (m_queue.size() > kMaxQueued) {
                        m_queue.pop_front();
                    }
                }
            } else {
                m_dead = true;
            }
            fuse_pollhandle* poll = m_poll;
            m_poll = nullptr;
            lock.unlock();
            m_changed.notify_all();
            if (poll != nullptr) {
                fuse_notify_poll(poll);
                fuse_pollhandle_destroy(poll);
            }
            if (result != HidIoResult::kDone) {
                return;
            }
        }
    }

    std::unique_ptr<HidHandle> m_handle;
    int m_interface;
    bool m_nonBlocking;
    std::unique_ptr<HidStopEvent> m_pumpStop;
    std::unique_ptr<HidStopEvent> m_writeStop;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<std::uint8_t>> m_queue;
    std::atomic<bool> m_dead{false};
    bool m_closing = false;
    fuse_pollhandle* m_poll = nullptr;
    std::thread m_pump;
};

struct Vhid {
    std::unique_ptr<sim::SimKeyboard> keyboard;
    std::unique_ptr<sim::SimHidBackend> backend;
    std::string stateFile;
    std::atomic<bool> denyOpen{false};
    std::atomic<bool> exiting{false};

    std::mutex treeMutex;
    Tree tree;
    bool treePlugged = false;
    std::uint64_t treeGeneration = ~std::uint64_t{0};

    std::mutex controlMutex; // one control command at a time
};

Vhid& State() {
    static Vhid vhid;
    return vhid;
}

// The tree for the keyboard's present state; rebuilt when the plug state has changed.
Tree CurrentTree() {
    Vhid& vhid = State();
    const bool plugged = vhid.keyboard->IsPlugged();
    const std::uint64_t generation = vhid.keyboard->PlugGeneration();
    std::lock_guard lock(vhid.treeMutex);
    if (plugged != vhid.treePlugged || generation != vhid.treeGeneration) {
        TreeState state;
        state.plugged = plugged;
        state.generation = generation;
        state.vendorId = vhid.keyboard->VendorId();
        state.productId = vhid.keyboard->ProductId();
        for (auto descriptor : {sim::SimHidBackend::BootKeyboardDescriptor(), sim::SimHidBackend::CommandDescriptor(),
                                sim::SimHidBackend::ConsumerDescriptor()}) {
            state.descriptors.emplace_back(descriptor.begin(), descriptor.end());
        }
        vhid.tree = BuildTree(state);
        vhid.treePlugged = plugged;
        vhid.treeGeneration = generation;
    }
    return vhid.tree;
}

std::string Relative(const char* path) {
    std::string text = path;
    while (!text.empty() && text.front() == '/') {
        text.erase(text.begin());
    }
    return text;
}

std::string StatusText() {
    const Vhid& vhid = State();
    std::ostringstream out;
    out << "plugged " << (vhid.keyboard->IsPlugged() ? 1 : 0) << "\n"
        << "generation " << vhid.keyboard->PlugGeneration() << "\n"
        << "model " << SimModelName(vhid.keyboard->Model()) << "\n"
        << "consumer-readers " << vhid.keyboard->ConsumerReaders() << "\n"
        << "requests " << vhid.keyboard->RequestLog().size() << "\n"
        << "deny-open " << (vhid.denyOpen ? "on" : "off") << "\n";
    return out.str();
}

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// One control command; false with `error` when it is not understood.
bool RunCommand(const std::string& line, std::string& error) {
    Vhid& vhid = State();
    const std::size_t space = line.find(' ');
    const std::string word = line.substr(0, space);
    const std::string argument = space == std::string::npos ? "" : Trim(line.substr(space + 1));
    if (word == "plug") {
        vhid.keyboard->Plug();
    } else if (word == "unplug") {
        vhid.keyboard->Unplug();
    } else if (word == "replug") {
        vhid.keyboard->Unplug();
        vhid.keyboard->Plug();
    } else if (word == "notify") {
        char* end = nullptr;
        const unsigned long usage = std::strtoul(argument.c_str(), &end, 16);
        if (argument.empty() || *end != '\0' || usage > 0xFFFF) {
            error = "notify takes a hexadecimal 16-bit usage";
            return false;
        }
        vhid.keyboard->RaiseNotification(static_cast<std::uint16_t>(usage));
    } else if (word == "faults") {
        sim::SimFaults faults;
        if (!ParseSimFaults(argument, faults, &error)) {
            return false;
        }
        vhid.keyboard->SetFaults(faults);
    } else if (word == "deny-open") {
        if (argument != "on" && argument != "off") {
            error = "deny-open takes on or off";
            return false;
        }
        vhid.denyOpen = argument == "on";
    } else if (word == "save") {
        if (vhid.stateFile.empty()) {
            error = "no --state file was given";
            return false;
        }
        return vhid.keyboard->SaveStateFile(vhid.stateFile, &error);
    } else {
        error = "unknown command \"" + word + "\"";
        return false;
    }
    return true;
}

int DoGetattr(const char* path, struct stat* st, fuse_file_info*) {
    const Tree tree = CurrentTree();
    const auto it = tree.find(Relative(path));
    if (it == tree.end()) {
        return -ENOENT;
    }
    std::memset(st, 0, sizeof *st);
    st->st_uid = ::getuid();
    st->st_gid = ::getgid();
    st->st_nlink = 1;
    const Node& node = it->second;
    switch (node.kind) {
    case NodeKind::kDirectory:
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
        break;
    case NodeKind::kSymlink:
        st->st_mode = S_IFLNK | 0777;
        st->st_size = static_cast<off_t>(node.content.size());
        break;
    case NodeKind::kFile:
        st->st_mode = S_IFREG | 0444;
        st->st_size = static_cast<off_t>(node.content.size());
        break;
    case NodeKind::kHidraw:
        // A regular file: a character device would send the kernel to a real driver.
        st->st_mode = S_IFREG | 0660;
        break;
    case NodeKind::kControl:
        st->st_mode = S_IFREG | 0660;
        break;
    }
    return 0;
}

int DoReadlink(const char* path, char* buffer, std::size_t size) {
    const Tree tree = CurrentTree();
    const auto it = tree.find(Relative(path));
    if (it == tree.end() || it->second.kind != NodeKind::kSymlink) {
        return -EINVAL;
    }
    if (size == 0) {
        return -EINVAL;
    }
    const std::size_t count = std::min(size - 1, it->second.content.size());
    std::memcpy(buffer, it->second.content.data(), count);
    buffer[count] = '\0';
    return 0;
}

int DoReaddir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags) {
    const Tree tree = CurrentTree();
    const auto it = tree.find(Relative(path));
    if (it == tree.end() || it->second.kind != NodeKind::kDirectory) {
        return -ENOENT;
    }
    fill(buffer, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    fill(buffer, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    for (const std::string& name : it->second.children) {
        fill(buffer, name.c_str(), nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    }
    return 0;
}

// File handles: 0 for plain files and the control file (their bytes come from the tree at
// read time), else an OpenNode.
int DoOpen(const char* path, fuse_file_info* fi) {
    Vhid& vhid = State();
    const Tree tree = CurrentTree();
    const auto it = tree.find(Relative(path));
    if (it == tree.end()) {
        return -ENOENT;
    }
    // Every read goes to this program: no page cache, no file size, no seeking for nodes.
    fi->direct_io = 1;
    fi->fh = 0;
    const Node& node = it->second;
    const int access = fi->flags & O_ACCMODE;
    if (node.kind == NodeKind::kDirectory) {
        return -EISDIR;
    }
    if (node.kind == NodeKind::kFile && access != O_RDONLY) {
        return -EACCES;
    }
    if (node.kind != NodeKind::kHidraw) {
        return 0;
    }
    if (vhid.denyOpen) {
        return -EACCES;
    }
    const std::string interfacePath = node.interface == 0   ? vhid.backend->BootKeyboardPath()
                                      : node.interface == 1 ? vhid.backend->CommandPath()
                                                            : vhid.backend->ConsumerPath();
    HidOpenMode mode;
    mode.read = access == O_RDONLY || access == O_RDWR;
    mode.write = access == O_WRONLY || access == O_RDWR;
    auto handle = vhid.backend->Open(interfacePath, mode);
    if (!handle) {
        return -ENODEV;
    }
    fi->nonseekable = 1;
    auto* open =
        new OpenNode(std::move(handle), *vhid.backend, node.interface, mode.read, (fi->flags & O_NONBLOCK) != 0);
    fi->fh = reinterpret_cast<std::uint64_t>(open);
    return 0;
}

int DoRelease(const char*, fuse_file_info* fi) {
    delete reinterpret_cast<OpenNode*>(fi->fh);
    fi->fh = 0;
    return 0;
}

int ReadText(const std::string& text, char* buffer, std::size_t size, off_t offset) {
    if (offset < 0 || static_cast<std::size_t>(offset) >= text.size()) {
        return 0;
    }
    const std::size_t count = std::min(size, text.size() - static_cast<std::size_t>(offset));
    std::memcpy(buffer, text.data() + offset, count);
    return static_cast<int>(count);
}

int DoRead(const char* path, char* buffer, std::size_t size, off_t offset, fuse_file_info* fi) {
    if (fi->fh != 0) {
        return reinterpret_cast<OpenNode*>(fi->fh)->Read(buffer, size, State().exiting);
    }
    const Tree tree = CurrentTree();
    const auto it = tree.find(Relative(path));
    if (it == tree.end()) {
        return -ENOENT;
    }
    if (it->second.kind == NodeKind::kControl) {
        return ReadText(StatusText(), buffer, size, offset);
    }
    return ReadText(it->second.content, buffer, size, offset);
}

int DoWrite(const char* path, const char* data, std::size_t size, off_t, fuse_file_info* fi) {
    if (fi->fh != 0) {
        return reinterpret_cast<OpenNode*>(fi->fh)->Write(data, size);
    }
    if (Relative(path) != "control") {
        return -EACCES;
    }
    Vhid& vhid = State();
    std::lock_guard lock(vhid.controlMutex);
    std::istringstream lines(std::string(data, size));
    std::string line;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (line.empty()) {
            continue;
        }
        std::string error;
        if (!RunCommand(line, error)) {
            std::cerr << "brasslane-vhid: " << line << ": " << error << "\n";
            return -EINVAL;
        }
    }
    return static_cast<int>(size);
}

int DoTruncate(const char* path, off_t, fuse_file_info*) {
    // "echo unplug > control" opens with O_TRUNC; the control file has nothing to cut.
    return Relative(path) == "control" ? 0 : -EACCES;
}

int DoPoll(const char*, fuse_file_info* fi, fuse_pollhandle* handle, unsigned* events) {
    if (fi->fh == 0) {
        *events = POLLIN | POLLRDNORM | POLLOUT | POLLWRNORM;
        if (handle != nullptr) {
            fuse_pollhandle_destroy(handle);
        }
        return 0;
    }
    *events = reinterpret_cast<OpenNode*>(fi->fh)->Poll(handle);
    return 0;
}

void* DoInit(fuse_conn_info*, fuse_config* config) {
    // No caching of names or attributes: an unplug must show at the next lookup, as in sysfs.
    config->entry_timeout = 0;
    config->attr_timeout = 0;
    config->negative_timeout = 0;
    config->direct_io = 1;
    config->intr = 1;
    return nullptr;
}

} // namespace
} // namespace brasslane::vhid

int main(int argc, char** argv) {
    using namespace brasslane;
    using namespace brasslane::vhid;
    std::optional<sim::SimModel> model;
    std::string stateFile;
    std::string mountPoint;
    bool unplugged = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--model" && i + 1 < argc) {
            model = ParseSimModel(argv[++i]);
            if (!model) {
                std::cerr << "brasslane-vhid: unknown model " << argv[i] << "\n" << kUsage;
                return 2;
            }
        } else if (arg == "--state" && i + 1 < argc) {
            stateFile = argv[++i];
        } else if (arg == "--unplugged") {
            unplugged = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (mountPoint.empty() && !arg.starts_with("-")) {
            mountPoint = arg;
        } else {
            std::cerr << kUsage;
            return 2;
        }
    }
    if (mountPoint.empty()) {
        std::cerr << kUsage;
        return 2;
    }

    Vhid& vhid = State();
    vhid.keyboard = std::make_unique<sim::SimKeyboard>(model.value_or(sim::SimModel::k7672));
    vhid.stateFile = stateFile;
    std::error_code ec;
    if (!stateFile.empty() && std::filesystem::exists(stateFile, ec)) {
        std::string error;
        if (!vhid.keyboard->LoadStateFile(stateFile, &error)) {
            std::cerr << "brasslane-vhid: " << stateFile << ": " << error << "\n";
            return 3;
        }
    }
    if (unplugged) {
        vhid.keyboard->Unplug();
    }
    vhid.backend = std::make_unique<sim::SimHidBackend>(*vhid.keyboard);

    fuse_operations operations{};
    operations.getattr = DoGetattr;
    operations.readlink = DoReadlink;
    operations.readdir = DoReaddir;
    operations.open = DoOpen;
    operations.release = DoRelease;
    operations.read = DoRead;
    operations.write = DoWrite;
    operations.truncate = DoTruncate;
    operations.poll = DoPoll;
    operations.init = DoInit;

    char name[] = "brasslane-vhid";
    char option[] = "-o";
    char options[] = "fsname=brasslane-vhid,subtype=brasslane-vhid";
    char* fuseArgv[] = {name, option, options, nullptr};
    fuse_args args = FUSE_ARGS_INIT(3, fuseArgv);
    fuse* fs = fuse_new(&args, &operations, sizeof operations, nullptr);
    if (fs == nullptr) {
        std::cerr << "brasslane-vhid: FUSE refused the file system\n";
        return 4;
    }
    if (fuse_mount(fs, mountPoint.c_str()) != 0) {
        std::cerr << "brasslane-vhid: cannot mount a FUSE file system on " << mountPoint
                  << " (is /dev/fuse there and may this user use it?)\n";
        fuse_destroy(fs);
        return 4;
    }
    fuse_session* session = fuse_get_session(fs);
    fuse_set_signal_handlers(session);
    fuse_loop_config* config = fuse_loop_cfg_create();
    const int loop = fuse_loop_mt(fs, config);
    fuse_loop_cfg_destroy(config);
    vhid.exiting = true;
    fuse_remove_signal_handlers(session);
    fuse_unmount(fs);
    fuse_destroy(fs);

    // The loop reports the signal that ended it; only a failure of its own is an error.
    int status = loop < 0 ? 1 : 0;
    if (!stateFile.empty()) {
        std::string error;
        if (!vhid.keyboard->SaveStateFile(stateFile, &error)) {
            std::cerr << "brasslane-vhid: saving " << stateFile << ": " << error << "\n";
            status = 3;
        }
    }
    // Files still open at the unmount keep their pump threads waiting on the keyboard; end here
    // rather than let static destruction free the keyboard under them.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

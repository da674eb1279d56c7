#include "platform/linux/HidrawBackend.h"

#include "core/device/DeviceAccessRole.h"
#include "core/device/HidReportDescriptor.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brasslane {

namespace {

namespace fs = std::filesystem;

// sysfs text files are a page; the descriptor is at most what the parser accepts.
constexpr std::size_t kMaxUeventBytes = 65536;

std::optional<std::vector<std::uint8_t>> ReadSmallFile(const fs::path& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> data;
    char chunk[4096];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        data.insert(data.end(), chunk, chunk + in.gcount());
        if (data.size() > limit) {
            return std::nullopt;
        }
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return data;
}

std::optional<std::uint32_t> ParseHex(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

// "hidraw12" -> 12; nullopt for anything else.
std::optional<unsigned long> HidrawNumber(const std::string& name) {
    constexpr std::string_view kPrefix = "hidraw";
    if (name.size() <= kPrefix.size() || name.size() > kPrefix.size() + 9 || name.compare(0, kPrefix.size(), kPrefix)) {
        return std::nullopt;
    }
    unsigned long number = 0;
    for (std::size_t i = kPrefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return std::nullopt;
        }
        number = number * 10 + static_cast<unsigned long>(name[i] - '0');
    }
    return number;
}

std::string Hex4(std::uint16_t value) {
    char text[5];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

int PollTimeout(std::uint32_t timeoutMs, std::chrono::steady_clock::time_point deadline) {
    if (timeoutMs == kInfinite) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX));
}

class EventfdStop : public HidStopEvent {
public:
    explicit EventfdStop(int fd) : m_fd(fd) {}
    ~EventfdStop() override { ::close(m_fd); }
    EventfdStop(const EventfdStop&) = delete;
    EventfdStop& operator=(const EventfdStop&) = delete;

    void Signal() override {
        const std::uint64_t one = 1;
        // Only fails when the counter is about to overflow, which means it is signalled already.
        [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
    }
    // Takes the signal. False when another waiter took it first.
    bool Consume() {
        std::uint64_t count = 0;
        return ::read(m_fd, &count, sizeof count) == static_cast<ssize_t>(sizeof count);
    }
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

class HidrawHandle : public HidHandle {
public:
    // `oneCollection`: the handle stands for one top-level collection of a node that has
    // several, and passes only the reports of that collection.
    HidrawHandle(int fd, const HidOpenMode& mode, HidAttributes attributes,
                 std::optional<std::vector<std::uint8_t>> descriptor, bool oneCollection)
        : m_fd(fd), m_mode(mode), m_attributes(attributes), m_descriptor(std::move(descriptor)),
          m_filter(oneCollection) {
        // Reports carry their id on the wire only when the descriptor declares ids; without them
        // the id byte 0 is added on reading and dropped on writing, as HID.DLL does.
        HidReportDescriptor parsed;
        const bool valid = m_descriptor && parsed.Parse(*m_descriptor);
        m_usesReportIds = !valid || parsed.UsesReportIds();
        for (std::size_t id = 0; id < m_inputIds.size() && valid; ++id) {
            const auto reportId = static_cast<std::uint8_t>(id);
            m_inputIds[id] = parsed.ReportByteLength(HidReportType::kInput, reportId) > 0;
            m_outputIds[id] = parsed.ReportByteLength(HidReportType::kOutput, reportId) > 0;
        }
    }
    ~HidrawHandle() override { ::close(m_fd); }
    HidrawHandle(const HidrawHandle&) = delete;
    HidrawHandle& operator=(const HidrawHandle&) = delete;

    bool GetAttributes(HidAttributes& attributes) const override {
        attributes = m_attributes;
        return true;
    }
    bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) const override {
        if (!m_descriptor) {
            return false;
        }
        descriptor = *m_descriptor;
        return true;
    }

    HidIoResult Read(std::span<std::uint8_t> buffer, std::size_t& transferred, std::uint32_t timeoutMs,
                     HidStopEvent& stop) override {
        transferred = 0;
        if (buffer.empty() || !m_mode.read) {
            return HidIoResult::kFailed;
        }
        std::span<std::uint8_t> target = m_usesReportIds ? buffer : buffer.subspan(1);
        return Transfer(POLLIN, stop, timeoutMs, [&]() -> ssize_t {
            const ssize_t count = ::read(m_fd, target.data(), target.size());
            if (count == 0) {
                errno = ENODEV; // end of file: the node is gone
                return -1;
            }
            if (count > 0) {
                if (!m_usesReportIds) {
                    buffer[0] = 0;
                }
                if (m_filter && !m_inputIds[buffer[0]]) {
                    errno = EAGAIN; // another collection's report: not ours, wait on
                    return -1;
                }
                transferred = static_cast<std::size_t>(count) + (m_usesReportIds ? 0 : 1);
            }
            return count;
        });
    }

    HidIoResult Write(std::span<const std::uint8_t> report, std::size_t& transferred, std::uint32_t timeoutMs,
                      HidStopEvent& stop) override {
        transferred = 0;
        if (!m_mode.write) {
            return HidIoResult::kFailed;
        }
        if (report.empty() || (!m_usesReportIds && report[0] != 0)) {
            return HidIoResult::kFailed; // an interface without ids only takes reports with id 0
        }
        if (m_filter && !m_outputIds[report[0]]) {
            return HidIoResult::kFailed; // not an output report of this collection
        }
        std::span<const std::uint8_t> payload = m_usesReportIds ? report : report.subspan(1);
        return Transfer(POLLOUT, stop, timeoutMs, [&]() -> ssize_t {
            const ssize_t count = ::write(m_fd, payload.data(), payload.size());
            if (count >= 0) {
                transferred = static_cast<std::size_t>(count) + (m_usesReportIds ? 0 : 1);
            }
            return count;
        });
    }

private:
    // Waits for the node to become ready for `events` or for the stop event, then moves the
    // report with one non-blocking call, so that nothing is ever left pending.
    template <typename Move>
    HidIoResult Transfer(short events, HidStopEvent& stop, std::uint32_t timeoutMs, Move move) {
        auto* stopEvent = dynamic_cast<EventfdStop*>(&stop);
        if (!stopEvent) {
            return HidIoResult::kFailed;
        }
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs == kInfinite ? 0 : timeoutMs);
        for (;;) {
            pollfd fds[2] = {{stopEvent->Fd(), POLLIN, 0}, {m_fd, events, 0}};
            const int ready = ::poll(fds, 2, PollTimeout(timeoutMs, deadline));
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return HidIoResult::kFailed;
            }
            if (ready == 0) {
                return HidIoResult::kTimeout;
            }
            // The stop event wins over a ready device, as the first of the waited objects.
            if ((fds[0].revents & POLLIN) && stopEvent->Consume()) {
                return HidIoResult::kStopped;
            }
            if (fds[1].revents & events) {
                const ssize_t count = move();
                if (count >= 0) {
                    return HidIoResult::kDone;
                }
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                    continue;
                }
                return HidIoResult::kFailed;
            }
            if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                return HidIoResult::kFailed;
            }
        }
    }

    int m_fd;
    HidOpenMode m_mode;
    HidAttributes m_attributes;
    std::optional<std::vector<std::uint8_t>> m_descriptor;
    bool m_filter = false;
    bool m_usesReportIds = true;
    std::array<bool, 256> m_inputIds{};
    std::array<bool, 256> m_outputIds{};
};

fs::path RootFromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return fs::path(value && *value ? value : fallback);
}

} // namespace

HidrawBackend::HidrawBackend()
    : HidrawBackend(RootFromEnvironment("BRASSLANE_SYSFS_ROOT", "/sys"),
                    RootFromEnvironment("BRASSLANE_DEV_ROOT", "/dev")) {}

HidrawBackend::HidrawBackend(std::filesystem::path sysfsRoot, std::filesystem::path devRoot)
    : m_sysfsRoot(std::move(sysfsRoot)), m_devRoot(std::move(devRoot)) {}

std::optional<HidrawBackend::Entry> HidrawBackend::ReadEntry(const std::string& name) const {
    Entry entry;
    entry.name = name;
    const fs::path device = m_sysfsRoot / "class" / "hidraw" / name / "device";
    std::error_code ec;
    entry.deviceDir = fs::canonical(device, ec);
    if (ec) {
        return std::nullopt;
    }
    entry.identity = entry.deviceDir.filename().string();

    const auto uevent = ReadSmallFile(device / "uevent", kMaxUeventBytes);
    if (!uevent) {
        return std::nullopt;
    }
    const std::string text(uevent->begin(), uevent->end());
    bool haveIds = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (line.starts_with("HID_ID=")) {
            // HID_ID=<bus>:<vendor>:<product>, each in hexadecimal, up to eight digits.
            const std::string_view ids = line.substr(7);
            const std::size_t first = ids.find(':');
            const std::size_t second = first == std::string_view::npos ? first : ids.find(':', first + 1);
            if (second == std::string_view::npos) {
                return std::nullopt;
            }
            const auto bus = ParseHex(ids.substr(0, first), 8);
            const auto vendor = ParseHex(ids.substr(first + 1, second - first - 1), 8);
            const auto product = ParseHex(ids.substr(second + 1), 8);
            if (!bus || !vendor || !product) {
                return std::nullopt;
            }
            entry.bus = *bus;
            entry.attributes.vendorId = static_cast<std::uint16_t>(*vendor & 0xFFFF);
            entry.attributes.productId = static_cast<std::uint16_t>(*product & 0xFFFF);
            haveIds = true;
        } else if (line.starts_with("HID_PHYS=")) {
            // A USB interface's phys ends in "/inputN", N being its interface number.
            const std::size_t slash = line.rfind("/input");
            if (slash != std::string_view::npos) {
                const std::string_view digits = line.substr(slash + 6);
                if (!digits.empty() && digits.size() <= 3 &&
                    std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
                    entry.interfaceNumber = std::stoi(std::string(digits));
                }
            }
        }
    }
    if (!haveIds) {
        return std::nullopt;
    }
    // The release number lives with the USB device, two levels above the HID device (HID device
    // -> USB interface -> USB device); other buses have none and keep 0.
    if (const auto bcd = ReadSmallFile(entry.deviceDir.parent_path().parent_path() / "bcdDevice", 64)) {
        std::string value(bcd->begin(), bcd->end());
        while (!value.empty() && (value.back() == '\n' || value.back() == ' ')) {
            value.pop_back();
        }
        if (const auto version = ParseHex(value, 4)) {
            entry.attributes.versionNumber = static_cast<std::uint16_t>(*version);
        }
    }
    return entry;
}

bool HidrawBackend::Enumerate(std::vector<std::string>& paths) {
    paths.clear();
    const fs::path classDir = m_sysfsRoot / "class" / "hidraw";
    std::error_code ec;
    if (!fs::exists(classDir, ec)) {
        return !ec; // no hidraw at all: no interfaces
    }
    std::vector<std::pair<unsigned long, std::string>> names;
    fs::directory_iterator it(classDir, ec);
    if (ec) {
        return false;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (const auto number = HidrawNumber(name)) {
            names.emplace_back(*number, name);
        }
    }
    if (ec) {
        return false;
    }
    std::sort(names.begin(), names.end());
    for (const auto& [number, name] : names) {
        const auto entry = ReadEntry(name);
        if (!entry || !fs::exists(m_devRoot / name, ec)) {
            continue; // an interface that cannot be listed is skipped
        }
        std::string path = (m_devRoot / name).string() + "#vid_" + Hex4(entry->attributes.vendorId) + "&pid_" +
                           Hex4(entry->attributes.productId);
        if (entry->interfaceNumber) {
            char mi[32];
            std::snprintf(mi, sizeof mi, "&mi_%02d", *entry->interfaceNumber);
            path += mi;
        }
        const std::string identity = "&hid_" + entry->identity;
        // A node with several top-level collections is listed once per collection, as Windows
        // lists them ("&col01", "&col02", ...), so that each is found by its own usage.
        const std::size_t collections = CollectionCount(name);
        if (collections <= 1) {
            paths.push_back(path + identity);
            continue;
        }
        for (std::size_t index = 0; index < collections; ++index) {
            char col[32];
            std::snprintf(col, sizeof col, "&col%02zu", index + 1);
            paths.push_back(path + col + identity);
        }
    }
    return true;
}

std::optional<std::vector<std::uint8_t>> HidrawBackend::ReadDescriptor(const std::string& name) const {
    return ReadSmallFile(m_sysfsRoot / "class" / "hidraw" / name / "device" / "report_descriptor",
                         HidReportDescriptor::kMaxDescriptorBytes);
}

std::size_t HidrawBackend::CollectionCount(const std::string& name) const {
    const auto descriptor = ReadDescriptor(name);
    std::vector<std::vector<std::uint8_t>> parts;
    if (!descriptor || !HidReportDescriptor::SplitTopLevelCollections(*descriptor, parts)) {
        return 1; // listed whole; opening it will tell what is wrong
    }
    return parts.size();
}

std::optional<HidrawBackend::ParsedPath> HidrawBackend::SplitPath(const std::string& path) {
    ParsedPath parsed;
    const std::size_t hash = path.rfind('#');
    parsed.node = fs::path(path.substr(0, hash));
    parsed.name = parsed.node.filename().string();
    if (!HidrawNumber(parsed.name)) {
        return std::nullopt;
    }
    if (hash == std::string::npos) {
        return parsed;
    }
    // The suffix is a list of "&"-separated tokens.
    const std::string suffix = path.substr(hash + 1);
    std::size_t start = 0;
    while (start <= suffix.size()) {
        std::size_t end = suffix.find('&', start);
        if (end == std::string::npos) {
            end = suffix.size();
        }
        const std::string_view token(suffix.data() + start, end - start);
        if (token.starts_with("hid_")) {
            parsed.identity = std::string(token.substr(4));
        } else if (token.starts_with("col") && token.size() > 3 && token.size() <= 6 &&
                   std::all_of(token.begin() + 3, token.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            const int number = std::stoi(std::string(token.substr(3)));
            if (number < 1) {
                return std::nullopt;
            }
            parsed.collection = static_cast<std::size_t>(number - 1);
        }
        start = end + 1;
    }
    return parsed;
}

std::optional<HidrawBackend::Entry> HidrawBackend::Resolve(const std::string& path, ParsedPath& parsed) const {
    const auto split = SplitPath(path);
    if (!split) {
        return std::nullopt;
    }
    parsed = *split;
    std::error_code ec;
    if (!fs::exists(parsed.node, ec)) {
        return std::nullopt;
    }
    auto entry = ReadEntry(parsed.name);
    if (!entry || (!parsed.identity.empty() && entry->identity != parsed.identity)) {
        return std::nullopt;
    }
    return entry;
}

std::unique_ptr<HidHandle> HidrawBackend::Open(const std::string& path, const HidOpenMode& mode) {
    ParsedPath parsed;
    const auto entry = Resolve(path, parsed);
    if (!entry) {
        return nullptr;
    }
    int flags = O_RDONLY;
    if (mode.read && mode.write) {
        flags = O_RDWR;
    } else if (mode.write) {
        flags = O_WRONLY;
    } else if (!mode.read) {
        flags = O_PATH;
    }
    const int fd = ::open(parsed.node.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
    const int openError = errno;
    auto descriptor = ReadDescriptor(parsed.name);
    {
        std::lock_guard lock(m_deniedMutex);
        if (fd >= 0) {
            m_deniedNodes.erase(parsed.node.string());
        } else if ((openError == EACCES || openError == EPERM) && descriptor) {
            // Only nodes the device rule would give access to are worth telling the user about.
            const AccessRole role = AccessRoleOf(*descriptor);
            if (role != AccessRole::kNone) {
                m_deniedNodes[parsed.node.string()] = role == AccessRole::kCommand;
            }
        }
    }
    if (fd < 0) {
        return nullptr;
    }
    if (descriptor && parsed.collection) {
        std::vector<std::vector<std::uint8_t>> parts;
        if (!HidReportDescriptor::SplitTopLevelCollections(*descriptor, parts) || *parsed.collection >= parts.size()) {
            ::close(fd);
            return nullptr; // the node no longer has that collection
        }
        descriptor = std::move(parts[*parsed.collection]);
    }
    return std::make_unique<HidrawHandle>(fd, mode, entry->attributes, std::move(descriptor),
                                          parsed.collection.has_value());
}

std::string HidrawBackend::AccessDeniedNode() const {
    std::lock_guard lock(m_deniedMutex);
    std::string node;
    for (const auto& [name, isCommand] : m_deniedNodes) {
        if (isCommand || node.empty()) {
            node = name;
        }
        if (isCommand) {
            break;
        }
    }
    return node;
}

bool HidrawBackend::IsPresent(const std::string& path) {
    ParsedPath parsed;
    return Resolve(path, parsed).has_value();
}

std::unique_ptr<HidStopEvent> HidrawBackend::CreateStopEvent() {
    const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<EventfdStop>(fd);
}

} // namespace brasslane

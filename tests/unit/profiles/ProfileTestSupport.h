#pragma once

// Shared pieces of the profile tests: a temporary folder, a language folder with the texts the
// store shows, a user-interface sink that records messages, and a HID backend without devices.

#include "core/base/UiSink.h"
#include "core/device/HidBackend.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace brasslane::test {

class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        std::random_device seed;
        m_path = std::filesystem::temp_directory_path() /
                 ("brasslane-profiles-" + std::to_string(seed()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ec;
        // Read-only files made by a test must not survive it.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, ec)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

inline void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A language file with the texts the profile store and the macro read-back use.
inline void WriteLanguageFile(const std::filesystem::path& folder) {
    std::ofstream out(folder / "Lang0409.ini");
    out << "[TEXT]\n"
           "PROFILE_FORMAT_ERROR=The profile %s is damaged.\n"
           "MACRO_NEW_PREFIX=Macro\n"
           "EXTRA_MACRO_TOO_LONG=Too long\n"
           "EXTRA_PROFILE_SPACE_TIGHT=No room for names\n";
}

class RecordingUi : public UiSink {
public:
    std::intptr_t Send(std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
    void Post(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
    void SetTimer(int, int) override {}
    void SetTrayIcon(int) override {}
    MessageAnswer ShowMessage(const std::string& text, const std::string&, MessageButtons) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(text);
        return MessageAnswer::kOk;
    }
    void HideMainWindow() override {}

    std::vector<std::string> TakeMessages() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_messages, {});
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_messages;
};

// No HID interfaces at all: a DeviceLink over it is never connected.
class NoHidBackend : public HidBackend {
public:
    bool Enumerate(std::vector<std::string>& paths) override {
        paths.clear();
        return true;
    }
    std::unique_ptr<HidHandle> Open(const std::string&, const HidOpenMode&) override { return nullptr; }
    bool IsPresent(const std::string&) override { return false; }
    std::unique_ptr<HidStopEvent> CreateStopEvent() override {
        struct NoStop : HidStopEvent {
            void Signal() override {}
        };
        return std::make_unique<NoStop>();
    }
};

} // namespace brasslane::test

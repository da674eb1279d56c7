#pragma once

// The firmware update dialog's rules without a window: the updater the user chose, backing the
// working image up into a profile file, and handing the keyboard over to the updater (boot
// mode, then the updater is started). The flashing itself is the updater's. The chosen path
// belongs to this object, which lives as long as the main window, so a path chosen earlier is
// still chosen when the dialog opens again. Used from the user-interface thread only.
//
// The dialog's messages are fixed texts, not language texts.

#include <filesystem>
#include <functional>
#include <string>

namespace brasslane {

class DeviceLink;
class ProfileStore;
class UiSink;

class FirmwareUpdateModel {
public:
    static constexpr const char* kChooseFileText = "请选择正确的更新文件! ";
    static constexpr const char* kNoBootModeText = "无法进入Boot模式! ";
    static constexpr const char* kCannotRunText = "无法执行更新文件! ";
    static constexpr const char* kBackupDoneText = "备份成功!";
    static constexpr const char* kBackupFailedText = "备份失败,请重新备份!";
    // The caption of every message: the application's title.
    static constexpr const char* kCaption = "Brasslane";

    // Starts the updater detached from this program, without arguments; true when it started.
    using Launcher = std::function<bool(const std::filesystem::path& program)>;

    // Every reference must outlive the model.
    FirmwareUpdateModel(DeviceLink& link, ProfileStore& profiles, UiSink& ui, Launcher launcher);

    // The chosen updater; empty when none is chosen.
    const std::filesystem::path& SelectedPath() const { return m_selected; }
    // The file dialog's answer: the chosen file, or an empty path when the user cancelled.
    void Choose(const std::filesystem::path& path) { m_selected = path; }

    enum class UpdateResult {
        kNoFile,       // no chosen file, or it is gone or cannot be run: nothing was sent
        kNoBootMode,   // the keyboard is absent or the boot-mode frame was not written
        kLaunchFailed, // the keyboard is in boot mode but the updater did not start
        kLaunched,     // the updater runs: the dialog closes
    };
    // "CONTROL_UPButton": checks the chosen file, sends the boot-mode frame once, starts the
    // updater and forgets the chosen path. Every outcome but kLaunched has shown its message.
    //
    // A file that cannot be run is refused before the keyboard is touched: in boot mode the
    // keyboard no longer types, and without an updater nothing would bring it back.
    UpdateResult Update();

    // "CONTROL_CUPButton": forgets the chosen path (the dialog then closes).
    void CancelUpdate() { m_selected.clear(); }

    // "CONTROL_BACKUPButton" confirmed: writes the working image to `path` under its lock and
    // says whether that worked. True when the file was written.
    bool Backup(const std::filesystem::path& path);

private:
    void Show(const char* text);

    DeviceLink& m_link;
    ProfileStore& m_profiles;
    UiSink& m_ui;
    Launcher m_launcher;
    std::filesystem::path m_selected;
};

} // namespace brasslane

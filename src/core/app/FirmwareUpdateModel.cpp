#include "core/app/FirmwareUpdateModel.h"

#include "core/base/UiSink.h"
#include "core/device/DeviceLink.h"
#include "core/device/DeviceStatus.h"
#include "core/profiles/ProfileStore.h"

#include <system_error>

namespace brasslane {

namespace {

// An existing regular file that someone may execute. The exact check for this user happens when
// it is started; this one only keeps the keyboard out of boot mode for a file that plainly is
// no program.
bool IsRunnableFile(const std::filesystem::path& path) {
    if (path.empty()) {
        return false;
    }
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::is_regular_file(status)) {
        return false;
    }
    using std::filesystem::perms;
    return (status.permissions() & (perms::owner_exec | perms::group_exec | perms::others_exec)) != perms::none;
}

} // namespace

FirmwareUpdateModel::FirmwareUpdateModel(DeviceLink& link, ProfileStore& profiles, UiSink& ui, Launcher launcher)
    : m_link(link), m_profiles(profiles), m_ui(ui), m_launcher(std::move(launcher)) {}

void FirmwareUpdateModel::Show(const char* text) {
    m_ui.ShowMessage(text, kCaption, MessageButtons::kOk);
}

FirmwareUpdateModel::UpdateResult FirmwareUpdateModel::Update() {
    if (!IsRunnableFile(m_selected)) {
        Show(kChooseFileText);
        return UpdateResult::kNoFile;
    }
    if (m_link.EnterBootMode() != kStatusSuccess) {
        Show(kNoBootModeText);
        return UpdateResult::kNoBootMode;
    }
    const std::filesystem::path program = m_selected;
    m_selected.clear();
    if (!m_launcher || !m_launcher(program)) {
        Show(kCannotRunText);
        return UpdateResult::kLaunchFailed;
    }
    return UpdateResult::kLaunched;
}

bool FirmwareUpdateModel::Backup(const std::filesystem::path& path) {
    const bool written = m_profiles.SaveProfileFile(path, true);
    Show(written ? kBackupDoneText : kBackupFailedText);
    return written;
}

} // namespace brasslane

#include "Commands.h"

#include "core/device/CHidDevice.h"
#include "core/device/KeyboardFinder.h"
#include "core/keys/MacroBlob.h"
#include "core/lighting/EffectList.h"
#include "core/profiles/WriteSequence.h"

#include <array>
#include <cstdio>
#include <iostream>
#include <mutex>

namespace brasslane::cli {

namespace {

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFF);
    return text;
}

std::string ModelName(std::uint16_t vendorId, std::uint16_t productId) {
    const std::optional<KeyboardModel> model = FindModel(vendorId, productId);
    if (!model) {
        return "-";
    }
    return model->productId == kModel7672.productId ? "7672" : "505b";
}

std::string RoleName(const HidCaps& caps) {
    if (caps.usagePage == kCommandUsagePage && caps.usage == kCommandUsage) {
        return "command";
    }
    if (caps.usagePage == kConsumerUsagePage && caps.usage == kConsumerUsage) {
        return "consumer";
    }
    return "other (usage page 0x" + Hex4(caps.usagePage) + ", usage 0x" + Hex4(caps.usage) + ")";
}

// The keyboard's active profile byte as a profile number 1..3, or why there is none.
std::string ProfileText(std::uint8_t byte) {
    if (byte < 3) {
        return std::to_string(byte + 1);
    }
    return "unknown (the keyboard reports " + std::to_string(byte) + ")";
}

} // namespace

ExitCode ListKeyboards(Session& session, bool quiet) {
    if (const ExitCode opened = session.OpenBackend(); opened != ExitCode::kSuccess) {
        return opened;
    }
    CHidDevice lister(session.Hid());
    if (!lister.Enumerate()) {
        return quiet ? ExitCode::kKeyboard
                     : Report(ExitCode::kKeyboard, "listing keyboards", "the HID interfaces cannot be listed");
    }
    std::vector<std::string> paths;
    while (const std::string* path = lister.NextPath()) {
        paths.push_back(*path);
    }
    lister.FreePaths();

    struct Row {
        std::string path;
        std::string ids;
        std::string model;
        std::string role;
    };
    std::vector<Row> rows;
    bool commandUsable = false;
    for (const std::string& path : paths) {
        if (!IsCandidatePath(path)) {
            continue;
        }
        Row row{path, "-", "-", "cannot be opened"};
        // Opening without access rights is enough for the identity and the descriptor.
        CHidDevice probe(session.Hid());
        if (probe.Open(path, false, false, true, false)) {
            const HidAttributes& attributes = probe.Attributes();
            row.ids = Hex4(attributes.vendorId) + ":" + Hex4(attributes.productId);
            row.model = ModelName(attributes.vendorId, attributes.productId);
            row.role = RoleName(probe.Caps());
            probe.Close();
        }
        if (row.role == "command") {
            CHidDevice command(session.Hid());
            if (OpenAsRole(command, path, InterfaceRole::kCommand)) {
                commandUsable = true;
                command.Close();
            } else {
                row.role += " (cannot be opened for reading and writing)";
            }
        }
        rows.push_back(std::move(row));
    }

    if (quiet) {
        return commandUsable ? ExitCode::kSuccess : ExitCode::kKeyboard;
    }
    if (rows.empty()) {
        return Report(ExitCode::kKeyboard, "listing keyboards", "no keyboard found");
    }
    std::size_t width = 4;
    for (const Row& row : rows) {
        width = std::max(width, row.path.size());
    }
    const auto pad = [](const std::string& text, std::size_t to) {
        return text + std::string(to > text.size() ? to - text.size() : 0, ' ');
    };
    std::cout << pad("PATH", width) << "  " << pad("ID", 9) << "  " << pad("MODEL", 5) << "  ROLE\n";
    for (const Row& row : rows) {
        std::cout << pad(row.path, width) << "  " << pad(row.ids, 9) << "  " << pad(row.model, 5) << "  " << row.role
                  << '\n';
    }
    if (!commandUsable) {
        if (const std::string denied = session.AccessDeniedNode(); !denied.empty()) {
            return Report(ExitCode::kKeyboard, "listing keyboards", AccessDeniedHint(denied));
        }
        return Report(ExitCode::kKeyboard, "listing keyboards", "no usable command interface");
    }
    return ExitCode::kSuccess;
}

ExitCode ShowInfo(Session& session) {
    if (const ExitCode connected = session.Connect(); connected != ExitCode::kSuccess) {
        return connected;
    }
    std::array<std::uint8_t, kDeviceInfoSize> info{};
    if (const DeviceStatus status = session.Link().ReadDeviceInfo(info); status != kStatusSuccess) {
        return Report(ExitCode::kKeyboard, "reading the device information", DeviceStatusText(status));
    }
    const HidAttributes& attributes = session.Link().Device().Attributes();
    const EffectIndexTable effects(EffectList::FromDeviceInfo(info));

    std::cout << "Keyboard:        " << Hex4(attributes.vendorId) << ':' << Hex4(attributes.productId) << " (model "
              << ModelName(attributes.vendorId, attributes.productId) << ", " << session.Connection().keyCount.load()
              << " keys)\n";
    std::cout << "Interface:       " << session.Link().Device().Path() << '\n';
    std::cout << "Active profile:  " << ProfileText(info[kInfoActiveProfileOffset]) << '\n';
    std::cout << "Macro capacity:  " << session.Connection().macroCapacity.load() << " bytes\n";
    std::cout << "Effects:         " << effects.Size() << " offered\n";
    for (const std::uint8_t effect : effects.Types()) {
        char number[8];
        std::snprintf(number, sizeof number, "%4u", static_cast<unsigned>(effect));
        std::cout << number << "  " << session.Texts().Mode(effect) << '\n';
    }
    return ExitCode::kSuccess;
}

ExitCode Backup(Session& session, const std::string& file) {
    if (const ExitCode connected = session.Connect(); connected != ExitCode::kSuccess) {
        return connected;
    }
    const std::size_t failuresBefore = session.Trace().Failures();
    std::string error;
    if (!session.Store().ReadKeyboardProfile(file, &error)) {
        if (session.Trace().Failures() != failuresBefore) {
            return Report(ExitCode::kKeyboard, "backup", error + ": " + session.FailureText());
        }
        return Report(ExitCode::kFile, "backup", error.empty() ? "cannot write " + file : error);
    }
    std::cout << "Saved the keyboard's three profiles and its macros to " << file << ".\n";
    return ExitCode::kSuccess;
}

ExitCode Restore(Session& session, const std::string& file) {
    if (const ExitCode opened = session.OpenBackend(); opened != ExitCode::kSuccess) {
        return opened;
    }
    // The file is checked before the keyboard is even looked for: a bad file sends nothing.
    std::string error;
    if (session.Store().ValidateProfileFile(file, &error) != ProfileFileCheck::kValid) {
        return Report(ExitCode::kFile, "restore", file + ": " + error);
    }
    if (const ExitCode connected = session.Connect(); connected != ExitCode::kSuccess) {
        return connected;
    }

    WorkingImage& working = session.Working();
    std::lock_guard lock(working.lock);
    session.Store().FreeWorkingImage();
    if (!session.Store().LoadProfileFile(file, &error)) {
        return Report(ExitCode::kFile, "restore", file + ": " + error);
    }
    const MacroBlobSizes sizes = MacroBlobSize(working.image.macros);
    const std::size_t capacity = session.Connection().macroCapacity.load();
    if (sizes.withoutNames > capacity || sizes.withoutNames > kMaxMacroBlobLength) {
        return Report(ExitCode::kFile, "restore",
                      "the macros of " + file + " need " + std::to_string(sizes.withoutNames) +
                          " bytes of the keyboard's memory, which holds " + std::to_string(capacity));
    }

    const WriteResult written = session.Store().TakeSnapshotAndUpload(true);
    if (!written) {
        return Report(ExitCode::kKeyboard, "restore: writing to the keyboard", WriteResultText(written));
    }
    const std::size_t macros = working.image.macros.size();
    std::cout << "Wrote the three profiles and " << macros << (macros == 1 ? " macro" : " macros") << " of " << file
              << " to the keyboard.\n";
    return ExitCode::kSuccess;
}

ExitCode Profile(Session& session, std::optional<int> profile) {
    if (const ExitCode connected = session.Connect(); connected != ExitCode::kSuccess) {
        return connected;
    }
    if (!profile) {
        const std::size_t failuresBefore = session.Trace().Failures();
        const int active = session.Store().GetActiveProfile();
        if (active < 0) {
            const bool failed = session.Trace().Failures() != failuresBefore;
            return Report(ExitCode::kKeyboard, "reading the active profile",
                          failed ? session.FailureText() : "the keyboard reports a profile it does not have");
        }
        std::cout << active + 1 << '\n';
        return ExitCode::kSuccess;
    }
    if (!session.Store().SetActiveProfile(*profile - 1)) {
        return Report(ExitCode::kKeyboard, "switching to profile " + std::to_string(*profile), session.FailureText());
    }
    std::cout << "Active profile: " << *profile << '\n';
    return ExitCode::kSuccess;
}

} // namespace brasslane::cli

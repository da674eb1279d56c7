#include "Commands.h"

#include "ProfileJson.h"
#include "ProfileListing.h"

#include "core/keys/KeyNames.h"
#include "core/lighting/KeyColourTable.h"
#include "core/base/AtomicFile.h"
#include "core/profiles/ProfileFile.h"

#include <cstdio>
#include <iostream>

namespace brasslane::cli {

namespace {

bool WriteBytesAtomically(const std::string& path, std::span<const std::uint8_t> bytes, std::string* error) {
    return WriteFileAtomically(
        path,
        [bytes](std::ostream& out) {
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            return static_cast<bool>(out);
        },
        error);
}

} // namespace

ExitCode FwcNew(const std::string& out) {
    ProfileImage image = MakeDefaultImage();
    std::string error;
    const bool written = WriteFileAtomically(
        out, [&image](std::ostream& stream) { return WriteProfileImage(stream, image, {}); }, &error);
    if (!written) {
        return Report(ExitCode::kFile, "fwc new", error.empty() ? "cannot write " + out : error);
    }
    return ExitCode::kSuccess;
}

ExitCode FwcShow(Session& session, const std::string& file) {
    ProfileDocument document;
    std::string error;
    if (!ReadProfileDocument(file, document, &error)) {
        return Report(ExitCode::kFile, "fwc show", error);
    }
    std::cout << "Profile file " << file << '\n' << ProfileListingText(document, session.Texts());
    return ExitCode::kSuccess;
}

ExitCode FwcToJson(const std::string& file, const std::optional<std::string>& out) {
    std::string contents;
    std::string error;
    if (!ReadWholeFile(file, kMaxInputFileSize, contents, &error)) {
        return Report(ExitCode::kFile, "fwc to-json", error);
    }
    // Nothing is written unless the JSON converts back to this very file.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(contents.data());
    std::string json;
    if (!ProfileBytesToJson(std::span<const std::uint8_t>(bytes, contents.size()), json, &error)) {
        return Report(ExitCode::kFile, "fwc to-json", file + ": " + error);
    }
    if (!out) {
        std::cout << json << std::flush;
        return std::cout ? ExitCode::kSuccess : Report(ExitCode::kFile, "fwc to-json", "writing the output failed");
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(json.data());
    if (!WriteBytesAtomically(*out, std::span<const std::uint8_t>(data, json.size()), &error)) {
        return Report(ExitCode::kFile, "fwc to-json", error.empty() ? "cannot write " + *out : error);
    }
    return ExitCode::kSuccess;
}

ExitCode FwcFromJson(const std::string& in, const std::string& out) {
    std::string text;
    std::string error;
    if (!ReadWholeFile(in, kMaxInputFileSize, text, &error)) {
        return Report(ExitCode::kFile, "fwc from-json", error);
    }
    ProfileDocument document;
    if (!ProfileDocumentFromJson(text, document, &error)) {
        return Report(ExitCode::kFile, "fwc from-json", in + ": " + error);
    }
    std::vector<std::uint8_t> bytes;
    if (!EncodeProfileDocument(document, bytes, &error)) {
        return Report(ExitCode::kFile, "fwc from-json", in + ": " + error);
    }
    if (!WriteBytesAtomically(out, bytes, &error)) {
        return Report(ExitCode::kFile, "fwc from-json", error.empty() ? "cannot write " + out : error);
    }
    return ExitCode::kSuccess;
}

ExitCode ListKeys() {
    std::cout << "NAME           SCAN   LIGHT\n";
    const auto row = [](const std::string& name, const std::string& scan, int light) {
        char line[80];
        const std::string lightText = light >= 0 ? std::to_string(light) : "-";
        std::snprintf(line, sizeof line, "%-14s %-6s %s\n", name.c_str(), scan.c_str(), lightText.c_str());
        std::cout << line;
    };
    for (const NamedKey& key : NamedKeys()) {
        char scan[16];
        std::snprintf(scan, sizeof scan, "0x%03X", key.scanCode);
        row(key.name, scan, KeyColourIndexOf(key.scanCode));
    }
    row("Fn", "-", kFnColourIndex);
    std::cout << "\nProfile files also name the macro keys G1..G9 (bank A) and G1B..G9B (bank B).\n"
                 "Any key may also be given as its scan code, 0x and hexadecimal digits.\n"
                 "LIGHT is the key's place in the keyboard's lighting matrix (for key-colour).\n";
    return ExitCode::kSuccess;
}

} // namespace brasslane::cli

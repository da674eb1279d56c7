#pragma once

// One layout file of the skin folder ("Skins/Main.ini", ...): the rectangles of a dialog's
// controls in section "BUTTONINFO", the arrow face origins in "BUTTONINFO2" and the window's
// pictures in "SCREEN". Every value is read from the file at the moment it is asked for; a
// missing file or key gives the placement (1, 1) with size 1 x 1.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace brasslane {

// A control's place in pixels of its dialog's client area.
struct SkinRect {
    int x = 1;
    int y = 1;
    int w = 1;
    int h = 1;

    bool operator==(const SkinRect&) const = default;
};

struct SkinPoint {
    int x = 0;
    int y = 0;

    bool operator==(const SkinPoint&) const = default;
};

// Reads "x,y,w,h" the way "%d,%d,%d,%d" scans it: blanks may precede each number, the comma must
// follow the number directly, and anything after the fourth number is ignored. Scanning stops at
// the first field that does not parse, and that field and the ones after it keep their default
// of 1. A number outside -32768..32767 (no window coordinate) stops the scan the same way.
SkinRect ParseSkinRect(std::string_view value);

// The top-left corner of a control's face in each whole-window state picture: one pixel up and
// left of its position, as the pictures count from 0 and positions from 1.
SkinPoint FaceOrigin(const SkinRect& rect);

// A skinned button placed at (1, 1), which is also where a missing layout key puts it, is
// disabled.
bool IsDisabledPlacement(const SkinRect& rect);

class SkinLayout {
public:
    static constexpr std::string_view kScreenSection = "SCREEN";
    static constexpr std::string_view kButtonSection = "BUTTONINFO";
    static constexpr std::string_view kArrowSection = "BUTTONINFO2";
    // Used when "Skins/Main.ini" names no link for the main window's link button.
    static constexpr std::string_view kFallbackLink = "https://brasslane.example/";

    explicit SkinLayout(std::filesystem::path layoutFile);

    const std::filesystem::path& File() const { return m_file; }
    // The folder of the layout file; picture names are relative to it.
    std::filesystem::path ImageFolder() const;

    // The rectangle of `key` in "BUTTONINFO" (or in `section`).
    SkinRect Rect(std::string_view key) const;
    SkinRect Rect(std::string_view section, std::string_view key) const;

    // Face origin of an animated arrow on the arrow picture: x and y of the "BUTTONINFO2" key
    // `base` followed by the frame number (1 or 2), e.g. "UP_ARROW_LEFT1".
    SkinPoint ArrowFaceOrigin(std::string_view base, int frame) const;

    // "SCREEN" / "Main" and "SCREEN" / "Mask": picture file names (up to 2047 characters), ""
    // when missing.
    std::string BackgroundName() const;
    std::string MaskName() const;
    // The pictures joined with the image folder. nullopt when no background is named; the mask
    // is the background itself when no mask is named.
    std::optional<std::filesystem::path> BackgroundPath() const;
    std::optional<std::filesystem::path> MaskPath() const;

    // "SCREEN" / `name`: the web address a link button opens. A missing or empty entry falls
    // back to "SCREEN" / "Link", and that to kFallbackLink.
    std::string Link(std::string_view name = "Link") const;

private:
    std::optional<std::filesystem::path> PicturePath(std::string_view name) const;

    std::filesystem::path m_file;
};

} // namespace brasslane

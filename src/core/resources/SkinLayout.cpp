#include "core/resources/SkinLayout.h"

#include "core/resources/IniFile.h"
#include "core/resources/SkinKeys.h"

#include <algorithm>
#include <array>
#include <utility>

namespace brasslane {

namespace {

// What a missing key reads as: position (1, 1), size 1 x 1; the trailing text is ignored.
constexpr std::string_view kMissingRect = "1,1,1,1,x";

constexpr long kMinCoordinate = -32768;
constexpr long kMaxCoordinate = 32767;

bool IsScanBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One "%d": optional blanks, optional sign, at least one digit. Advances `pos` past it.
std::optional<int> ScanInt(std::string_view text, std::size_t& pos) {
    std::size_t i = pos;
    while (i < text.size() && IsScanBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t firstDigit = i;
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kMaxCoordinate + 1) {
            return std::nullopt;
        }
    }
    if (i == firstDigit) {
        return std::nullopt;
    }
    if (negative) {
        value = -value;
    }
    if (value < kMinCoordinate || value > kMaxCoordinate) {
        return std::nullopt;
    }
    pos = i;
    return static_cast<int>(value);
}

} // namespace

SkinRect ParseSkinRect(std::string_view value) {
    SkinRect rect;
    std::array<int*, 4> fields{&rect.x, &rect.y, &rect.w, &rect.h};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            if (pos >= value.size() || value[pos] != ',') {
                break;
            }
            ++pos;
        }
        const std::optional<int> number = ScanInt(value, pos);
        if (!number) {
            break;
        }
        *fields[i] = *number;
    }
    return rect;
}

SkinPoint FaceOrigin(const SkinRect& rect) {
    return {rect.x - 1, rect.y - 1};
}

bool IsDisabledPlacement(const SkinRect& rect) {
    return rect.x == 1 && rect.y == 1;
}

SkinLayout::SkinLayout(std::filesystem::path layoutFile) : m_file(std::move(layoutFile)) {}

std::filesystem::path SkinLayout::ImageFolder() const {
    return m_file.parent_path();
}

SkinRect SkinLayout::Rect(std::string_view key) const {
    return Rect(kButtonSection, key);
}

SkinRect SkinLayout::Rect(std::string_view section, std::string_view key) const {
    return ParseSkinRect(IniFile(m_file).Read(section, key, kMissingRect, kTextBufferChars));
}

SkinPoint SkinLayout::ArrowFaceOrigin(std::string_view base, int frame) const {
    const SkinRect rect = Rect(kArrowSection, skin::ArrowOriginKey(base, frame));
    return {rect.x, rect.y};
}

std::string SkinLayout::BackgroundName() const {
    return IniFile(m_file).Read(kScreenSection, "Main", "", kPictureBufferChars);
}

std::string SkinLayout::MaskName() const {
    return IniFile(m_file).Read(kScreenSection, "Mask", "", kPictureBufferChars);
}

std::optional<std::filesystem::path> SkinLayout::BackgroundPath() const {
    return PicturePath(BackgroundName());
}

std::optional<std::filesystem::path> SkinLayout::MaskPath() const {
    const std::string mask = MaskName();
    return mask.empty() ? BackgroundPath() : PicturePath(mask);
}

std::string SkinLayout::Link(std::string_view name) const {
    const IniFile file(m_file);
    std::string link = file.Read(kScreenSection, name, "", kPictureBufferChars);
    if (link.empty() && name != "Link") {
        link = file.Read(kScreenSection, "Link", "", kPictureBufferChars);
    }
    return link.empty() ? std::string(kFallbackLink) : link;
}

std::optional<std::filesystem::path> SkinLayout::PicturePath(std::string_view name) const {
    if (name.empty()) {
        return std::nullopt;
    }
    // Skins written for Windows separate folders with backslashes.
    std::string portable(name);
    std::replace(portable.begin(), portable.end(), '\\', '/');
    return ImageFolder() / portable;
}

} // namespace brasslane

#include "core/base/Utf8.h"

namespace brasslane::utf8 {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of the well-formed sequence at the start of `text`, or 0 when it is malformed.
std::size_t ValidSequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            low = 0xA0; // overlong
        } else if (lead == 0xED) {
            high = 0x9F; // surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            low = 0x90; // overlong
        } else if (lead == 0xF4) {
            high = 0x8F; // above U+10FFFF
        }
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    if (byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint >= 0x10000) {
        codePoint -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(codePoint));
    }
}

// Decodes the sequence at the start of `text` (not empty): the code point, or nullopt when the
// sequence is malformed; `taken` is how many bytes it covers (at least 1), so a decoder goes on
// with the byte that interrupted a sequence.
std::optional<char32_t> DecodeOne(std::string_view text, std::size_t& taken) {
    const auto lead = static_cast<unsigned char>(text[0]);
    taken = 1;
    std::size_t length = 0;
    char32_t codePoint = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        codePoint = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        codePoint = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        codePoint = lead & 0x07;
        minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    while (taken < length && taken < text.size() && (static_cast<unsigned char>(text[taken]) & 0xC0) == 0x80) {
        codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[taken]) & 0x3F);
        ++taken;
    }
    const bool valid = taken == length && codePoint >= minimum && codePoint <= 0x10FFFF &&
                       !(codePoint >= 0xD800 && codePoint <= 0xDFFF);
    if (!valid) {
        return std::nullopt;
    }
    return codePoint;
}

// Step over one code point; a malformed byte counts as one code point of length 1.
std::size_t StepLength(std::string_view text) {
    const std::size_t length = ValidSequenceLength(text);
    return length == 0 ? 1 : length;
}

} // namespace

std::size_t CountCodePoints(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += StepLength(text.substr(pos))) {
        ++count;
    }
    return count;
}

std::string_view CutToCodePoints(std::string_view text, std::size_t maxCodePoints) {
    std::size_t pos = 0;
    for (std::size_t count = 0; pos < text.size() && count < maxCodePoints; ++count) {
        pos += StepLength(text.substr(pos));
    }
    return text.substr(0, pos);
}

std::string Sanitize(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t length = ValidSequenceLength(text.substr(pos));
        if (length == 0) {
            AppendCodePoint(out, kReplacement);
            ++pos;
        } else {
            out.append(text.substr(pos, length));
            pos += length;
        }
    }
    return out;
}

void AppendCodePoint(std::string& out, char32_t cp) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        cp = kReplacement;
    }
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string FromUtf16(std::span<const std::uint8_t> bytes, bool bigEndian) {
    const std::size_t units = bytes.size() / 2;
    const auto unit = [&](std::size_t i) -> char16_t {
        const std::uint8_t first = bytes[2 * i];
        const std::uint8_t second = bytes[2 * i + 1];
        return bigEndian ? static_cast<char16_t>((first << 8) | second) : static_cast<char16_t>((second << 8) | first);
    };
    std::string out;
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const char16_t next = unit(i + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                AppendCodePoint(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendCodePoint(out, u); // lone surrogates become U+FFFD there
    }
    return out;
}

std::u16string ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t taken = 0;
    for (std::size_t i = 0; i < text.size(); i += taken) {
        AppendUtf16(out, DecodeOne(text.substr(i), taken).value_or(kReplacement));
    }
    return out;
}

std::optional<std::u16string> ToUtf16Checked(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t taken = 0;
    for (std::size_t i = 0; i < text.size(); i += taken) {
        const std::optional<char32_t> codePoint = DecodeOne(text.substr(i), taken);
        if (!codePoint) {
            return std::nullopt;
        }
        AppendUtf16(out, *codePoint);
    }
    return out;
}

namespace {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD, or ends the conversion when `checked`.
std::optional<std::string> FromUtf16Units(std::u16string_view text, bool checked) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendCodePoint(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                                     (static_cast<char32_t>(text[i + 1]) - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            if (checked) {
                return std::nullopt;
            }
            AppendCodePoint(out, kReplacement);
        } else {
            AppendCodePoint(out, unit);
        }
    }
    return out;
}

} // namespace

std::string FromUtf16(std::u16string_view text) {
    return *FromUtf16Units(text, false);
}

std::optional<std::string> FromUtf16Checked(std::u16string_view text) {
    return FromUtf16Units(text, true);
}

} // namespace brasslane::utf8

#include "core/resources/Language.h"

#include "core/base/Utf8.h"

#include <charconv>
#include <optional>

namespace brasslane {

namespace {

// Widths beyond three digits are hostile or broken; such a conversion is shown as written.
constexpr int kMaxWidthDigits = 3;

struct Conversion {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool zero = false;
    bool alternate = false;
    std::size_t width = 0;
    char type = 'd';
    std::size_t length = 0; // characters of the format it spans, '%' included
};

// The conversion at format[start] (a '%'), or nullopt when it is not one we honour.
std::optional<Conversion> ParseConversion(std::string_view format, std::size_t start) {
    Conversion c;
    std::size_t i = start + 1;
    for (; i < format.size(); ++i) {
        const char flag = format[i];
        if (flag == '-') {
            c.left = true;
        } else if (flag == '+') {
            c.plus = true;
        } else if (flag == ' ') {
            c.space = true;
        } else if (flag == '0') {
            c.zero = true;
        } else if (flag == '#') {
            c.alternate = true;
        } else {
            break;
        }
    }
    int digits = 0;
    for (; i < format.size() && format[i] >= '0' && format[i] <= '9'; ++i) {
        if (++digits > kMaxWidthDigits) {
            return std::nullopt;
        }
        c.width = c.width * 10 + static_cast<std::size_t>(format[i] - '0');
    }
    for (int l = 0; l < 2 && i < format.size() && format[i] == 'l'; ++l) {
        ++i;
    }
    if (i >= format.size()) {
        return std::nullopt;
    }
    switch (format[i]) {
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'X':
    case 's':
        c.type = format[i];
        c.length = i + 1 - start;
        return c;
    default:
        return std::nullopt;
    }
}

void Pad(std::string& out, std::size_t count, char fill) {
    out.append(count, fill);
}

std::string RenderText(const Conversion& c, std::string_view text) {
    std::string out;
    const std::size_t shown = utf8::CountCodePoints(text);
    const std::size_t padding = c.width > shown ? c.width - shown : 0;
    if (!c.left) {
        Pad(out, padding, ' ');
    }
    out += text;
    if (c.left) {
        Pad(out, padding, ' ');
    }
    return out;
}

std::string RenderNumber(const Conversion& c, long long number) {
    char digits[32];
    std::string_view prefix;
    char* end = digits;
    if (c.type == 'd' || c.type == 'i' || c.type == 's') {
        const bool negative = number < 0;
        const unsigned long long magnitude =
            negative ? 0ULL - static_cast<unsigned long long>(number) : static_cast<unsigned long long>(number);
        end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
        prefix = negative ? "-" : c.plus ? "+" : c.space ? " " : "";
    } else {
        const auto value = static_cast<unsigned long long>(number);
        const int base = c.type == 'u' ? 10 : 16;
        end = std::to_chars(digits, digits + sizeof digits, value, base).ptr;
        if (c.type == 'X') {
            for (char* p = digits; p != end; ++p) {
                if (*p >= 'a' && *p <= 'f') {
                    *p = static_cast<char>(*p - 'a' + 'A');
                }
            }
        }
        if (c.alternate && value != 0 && base == 16) {
            prefix = c.type == 'X' ? "0X" : "0x";
        }
    }
    const std::string_view body(digits, static_cast<std::size_t>(end - digits));
    const std::size_t shown = prefix.size() + body.size();
    const std::size_t padding = c.width > shown ? c.width - shown : 0;
    std::string out;
    if (c.left) {
        out += prefix;
        out += body;
        Pad(out, padding, ' ');
    } else if (c.zero) {
        out += prefix;
        Pad(out, padding, '0');
        out += body;
    } else {
        Pad(out, padding, ' ');
        out += prefix;
        out += body;
    }
    return out;
}

template <typename Render> std::string Format(std::string_view format, Render render) {
    std::string out;
    out.reserve(format.size() + 16);
    bool argumentUsed = false;
    std::size_t i = 0;
    while (i < format.size()) {
        if (format[i] != '%') {
            out += format[i++];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        if (!argumentUsed) {
            if (const std::optional<Conversion> c = ParseConversion(format, i)) {
                out += render(*c);
                argumentUsed = true;
                i += c->length;
                continue;
            }
        }
        out += format[i++];
    }
    return out;
}

} // namespace

std::string FormatText(std::string_view format, long long number) {
    return Format(format, [number](const Conversion& c) { return RenderNumber(c, number); });
}

std::string FormatText(std::string_view format, std::string_view text) {
    return Format(format, [text](const Conversion& c) { return RenderText(c, text); });
}

} // namespace brasslane

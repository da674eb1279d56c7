#pragma once

// UTF-8 and UTF-16 text. Language and skin files are UTF-8 or UTF-16, macro names and key texts
// are UTF-16 in the profile image and on the keyboard, everything shown or printed is UTF-8.
// Text from files and the keyboard is untrusted: every function accepts any input and never
// reads outside the given view. The lenient conversions put U+FFFD for what cannot be
// converted; the checked ones refuse it instead, for formats that must round-trip exactly.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brasslane::utf8 {

// Number of code points in `text`; a byte that cannot start a valid sequence counts as one.
std::size_t CountCodePoints(std::string_view text);

// The first `maxCodePoints` code points of `text`. Never splits a multi-byte sequence.
std::string_view CutToCodePoints(std::string_view text, std::size_t maxCodePoints);

// `text` with every malformed sequence (stray continuation bytes, truncated or overlong
// sequences, surrogates, values above U+10FFFF) replaced by U+FFFD.
std::string Sanitize(std::string_view text);

// UTF-16 code units (either byte order) converted to UTF-8; an unpaired surrogate becomes
// U+FFFD and an odd trailing byte is dropped.
std::string FromUtf16(std::span<const std::uint8_t> bytes, bool bigEndian);

// Appends the UTF-8 form of `codePoint` (U+FFFD for surrogates and values above U+10FFFF).
void AppendCodePoint(std::string& out, char32_t codePoint);

// UTF-8 to UTF-16. A malformed sequence (a bad lead byte, a sequence cut short by the end or by
// a byte that does not continue it, an overlong form, a surrogate, a value above U+10FFFF)
// becomes one U+FFFD and never swallows the byte that interrupted it.
std::u16string ToUtf16(std::string_view text);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string FromUtf16(std::u16string_view text);

// The same conversions, refusing (nullopt) malformed UTF-8 or an unpaired surrogate.
std::optional<std::u16string> ToUtf16Checked(std::string_view text);
std::optional<std::string> FromUtf16Checked(std::u16string_view text);

} // namespace brasslane::utf8

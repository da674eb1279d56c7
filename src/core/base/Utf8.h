#pragma once

// UTF-8 helpers for the resource readers. Text from files is untrusted: every function accepts
// any byte sequence and never reads outside the given view.

#include <cstddef>
#include <cstdint>
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

} // namespace brasslane::utf8

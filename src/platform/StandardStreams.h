#pragma once

namespace brasslane::platform {

// Makes the standard output and error streams carry the program's UTF-8 text byte for byte
// (on Windows: binary mode, so "\n" stays one byte, and a UTF-8 console). Console programs call
// it once at start-up, before writing anything.
void PrepareStandardStreams();

} // namespace brasslane::platform

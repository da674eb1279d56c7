#include "platform/StandardStreams.h"

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace brasslane::platform {

void PrepareStandardStreams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
}

} // namespace brasslane::platform

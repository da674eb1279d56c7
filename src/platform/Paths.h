#pragma once

// Where things live: the running program, the per-user folders, the settings file.
// Each system's folder has its own version; this picks the one of the system being built for.

#ifdef _WIN32
#include "platform/windows/WindowsPaths.h"
#else
#include "platform/linux/LinuxPaths.h"
#endif

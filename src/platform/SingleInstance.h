#pragma once

// One running copy of the desktop app per user, and messages from later copies to it.
// Each system's folder has its own version; this picks the one of the system being built for.

#ifdef _WIN32
#include "platform/windows/SingleInstance.h"
#else
#include "platform/linux/SingleInstance.h"
#endif

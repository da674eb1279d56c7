#pragma once

// The system's user-interface language as a Windows language id.
// Each system's folder has its own version; this picks the one of the system being built for.

#ifdef _WIN32
#include "platform/windows/SystemLanguage.h"
#else
#include "platform/linux/SystemLanguage.h"
#endif

#pragma once

namespace brasslane::platform {

// Installs the operating system's flush to the storage device for the safe file writes of the
// core (SetDurableSync). Each program calls it once at start-up.
void InstallDurableSync();

} // namespace brasslane::platform

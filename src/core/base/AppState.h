#pragma once

#include <atomic>

namespace brasslane {

// Process-wide state shared by the user-interface thread and the device threads.
struct AppState {
    // The keyboard's active profile (0..2) as last read or set; -1 when not known.
    std::atomic<int> activeProfile{-1};
    // Key-selection mode of the main window.
    std::atomic<bool> keySelectionMode{false};
};

} // namespace brasslane

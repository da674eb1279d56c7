#pragma once

// HID access on Windows through the HID class driver (hid.dll) and SetupAPI.
//
// Interfaces are the present device interfaces of the HID class; a path is the interface's
// device path, e.g. \\?\hid#vid_0c45&pid_7672&mi_01&col02#7&1a2b3c4d&0&0001#{4d1e55b2-...},
// which already carries "vid_" and "pid_" after a '#'. Handles are always opened overlapped
// (the handle's reads and writes are timed and interruptible whatever the mode asks for), shared
// for reading and writing unless the mode is exclusive. Identity comes from HidD_GetAttributes,
// the capabilities from the preparsed data, written back into a report descriptor for the
// core's parser (CapsDescriptor.h).
//
// A read or write waits in WaitForMultipleObjects on the stop event and the transfer's own
// event; when the stop event or the timeout ends the wait, the request is cancelled
// (CancelIoEx) and waited for, so that nothing is left pending on the handle's buffers.

#include "core/device/HidBackend.h"

namespace brasslane {

class WinHidBackend : public HidBackend {
public:
    // True with an empty list when no HID interface is present; false when the class's
    // interface set cannot be had or an interface's path cannot be read.
    bool Enumerate(std::vector<std::string>& paths) override;
    // nullptr when the interface cannot be opened with that access or its identity or
    // capabilities cannot be read.
    std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenMode& mode) override;
    // Opens the interface with no access rights and closes it at once.
    bool IsPresent(const std::string& path) override;
    // An auto-reset event object; nullptr when none can be made.
    std::unique_ptr<HidStopEvent> CreateStopEvent() override;
};

} // namespace brasslane

#pragma once

// One long job of the main window (an apply, an import, a backup) run on a thread of its own, so
// that the user-interface thread keeps drawing and answering while the keyboard is written.
// When the work has returned, the worker posts MSG_JOB_DONE (code kCodeDone) through the UiSink,
// the only way it reaches the user interface; the user-interface thread then calls Finish, which
// joins the worker, and acts on what the work left behind.
//
// Start, Finish and Running belong to the user-interface thread. The work itself may wait for the
// user-interface thread (a message box through the UiSink), so that thread never blocks on the
// worker while the job runs: it waits for MSG_JOB_DONE instead.

#include "core/base/UiSink.h"
#include "core/device/DeviceLink.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace brasslane {

class BackgroundJob {
public:
    // `ui` must outlive the job.
    explicit BackgroundJob(UiSink& ui) : m_ui(ui) {}
    // Joins a worker still running (the program is ending; its UiSink no longer waits).
    ~BackgroundJob();
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Runs `work` on a new thread. False (and nothing run) while another job has not been
    // finished, or when no thread could be started.
    bool Start(std::function<void()> work);
    // A job was started and not finished yet.
    bool Running() const { return m_worker.joinable(); }
    // The work has returned; MSG_JOB_DONE is on its way.
    bool WorkDone() const { return m_workDone.load(); }
    // Joins the worker. Returns at once when nothing runs.
    void Finish();

private:
    UiSink& m_ui;
    std::thread m_worker;
    std::atomic<bool> m_workDone{false};
};

// The progress of a keyboard write as the busy area shows it: "37 / 240"; empty while no write
// has announced its length.
std::string ProgressText(const LinkProgress& progress);

} // namespace brasslane

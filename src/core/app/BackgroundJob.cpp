#include "core/app/BackgroundJob.h"

#include "core/base/Messages.h"

#include <system_error>
#include <utility>

namespace brasslane {

BackgroundJob::~BackgroundJob() {
    Finish();
}

bool BackgroundJob::Start(std::function<void()> work) {
    if (Running()) {
        return false;
    }
    m_workDone.store(false);
    try {
        m_worker = std::thread([this, work = std::move(work)] {
            work();
            m_workDone.store(true);
            m_ui.Post(MSG_JOB_DONE, kCodeDone, 0);
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void BackgroundJob::Finish() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

std::string ProgressText(const LinkProgress& progress) {
    if (progress.total == 0) {
        return {};
    }
    return std::to_string(progress.done) + " / " + std::to_string(progress.total);
}

} // namespace brasslane

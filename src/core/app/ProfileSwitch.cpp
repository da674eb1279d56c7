#include "core/app/ProfileSwitch.h"

#include "core/base/Keyboard.h"
#include "core/base/UiSink.h"
#include "core/keys/ProfileImage.h"
#include "core/profiles/ProfileStore.h"
#include "core/resources/Language.h"

#include <mutex>

namespace brasslane {

namespace {} // namespace

ProfileSwitch::ProfileSwitch(ProfileStore& store, WorkingImage& working, UiSink& ui, Language& language,
                             ProfileManagerFlags& manager, ProfileSwitchHooks hooks)
    : m_store(store), m_working(working), m_ui(ui), m_language(language), m_manager(manager),
      m_hooks(std::move(hooks)) {}

bool ProfileSwitch::Switch(int profile) {
    const SwitchPlan plan = Ask(profile);
    if (!plan.go) {
        return false;
    }
    if (plan.edits == SwitchPlan::Edits::kApply && !m_hooks.apply()) {
        return false;
    }
    return Finish(plan, Carry(plan));
}

SwitchPlan ProfileSwitch::Ask(int profile) {
    SwitchPlan plan;
    if (profile < 0) {
        return plan;
    }
    if (profile >= kProfileCount) {
        profile = 0;
    }
    if (m_hooks.keyDialogOpen()) {
        m_ui.ShowMessage(m_language.Text("PROFILE_SEELCT_PROMPT2"), std::string(), MessageButtons::kOk);
        return plan;
    }
    plan.go = true;
    plan.profile = profile;
    if ((m_manager.unappliedChanges || m_hooks.isModified()) && !m_asking) {
        m_asking = true;
        const MessageAnswer answer =
            m_ui.ShowMessage(m_language.Text("PROFILE_SELECT_PROMPT"), std::string(), MessageButtons::kYesNo);
        m_asking = false;
        plan.asked = true;
        if (answer == MessageAnswer::kYes) {
            plan.edits = SwitchPlan::Edits::kApply;
        } else {
            plan.edits = SwitchPlan::Edits::kDiscard;
            m_hooks.clearModified();
            if (m_store.GetActiveProfile() >= 0) {
                std::lock_guard lock(m_working.lock);
                // The cache file holds what was last applied. Loading replaces the image only
                // when the file is sound; otherwise the keyboard itself is read back, so the
                // discarded edits never survive a failed load. Both run here: reading the
                // keyboard back reports to the window.
                if (!m_store.LoadProfileFile(m_store.ProfileCacheFile())) {
                    m_store.SyncFromKeyboard(false);
                }
            }
        }
    }
    return plan;
}

bool ProfileSwitch::Carry(const SwitchPlan& plan) {
    return m_store.SetActiveProfile(plan.profile);
}

bool ProfileSwitch::Finish(const SwitchPlan& plan, bool taken) {
    if (!plan.asked && m_manager.rowCount > 0) {
        m_manager.checkedRow = plan.profile;
        m_manager.unappliedChanges = false;
    }
    {
        std::lock_guard lock(m_working.lock);
        m_hooks.refreshKeyButtons(taken ? plan.profile : -1);
    }
    m_hooks.rebuildMenu();
    return taken;
}

} // namespace brasslane

#include "Commands.h"

#include "core/app/AutoProfileRules.h"
#include "core/resources/SettingsStore.h"

#include <iostream>

namespace brasslane::cli {

namespace {

AutoProfileFile RulesFile() {
    return AutoProfileFile(AutoProfileFile::BesideSettings(SettingsStore::DefaultPath()));
}

// Reads the rules; what the file holds that cannot be read is told on standard error (and kept).
bool LoadRules(const AutoProfileFile& file, AutoProfileSettings& settings, std::string_view step, ExitCode& failure) {
    std::vector<std::string> problems;
    std::string error;
    if (!file.Load(settings, &problems, &error)) {
        failure = Report(ExitCode::kFile, step, error);
        return false;
    }
    for (const std::string& problem : problems) {
        Report(ExitCode::kFile, step, file.Path().filename().string() + ", " + problem);
    }
    return true;
}

ExitCode SaveRules(const AutoProfileFile& file, const AutoProfileSettings& settings, std::string_view step) {
    std::string error;
    if (!file.Save(settings, &error)) {
        return Report(ExitCode::kFile, step, error.empty() ? "cannot write " + file.Path().string() : error);
    }
    return ExitCode::kSuccess;
}

} // namespace

ExitCode AutoProfileList() {
    const AutoProfileFile file = RulesFile();
    AutoProfileSettings settings;
    ExitCode failure = ExitCode::kSuccess;
    if (!LoadRules(file, settings, "auto-profile list", failure)) {
        return failure;
    }
    std::cout << "file: " << file.Path().string() << '\n'
              << "enabled: " << (settings.enabled ? "yes" : "no") << '\n'
              << "default: " << (settings.defaultProfile ? std::to_string(*settings.defaultProfile) : "none") << '\n';
    for (std::size_t i = 0; i < settings.rules.size(); ++i) {
        const AutoProfileRule& rule = settings.rules[i];
        std::cout << (i + 1) << ": " << DescribeRule(rule) << " = " << rule.profile << '\n';
    }
    return ExitCode::kSuccess;
}

ExitCode AutoProfileAdd(const AutoProfileRule& rule, std::optional<std::size_t> position) {
    std::string error;
    if (!ValidateRule(rule, &error)) {
        return Report(ExitCode::kUsage, "auto-profile add", error);
    }
    const AutoProfileFile file = RulesFile();
    AutoProfileSettings settings;
    ExitCode failure = ExitCode::kSuccess;
    if (!LoadRules(file, settings, "auto-profile add", failure)) {
        return failure;
    }
    if (position && (*position < 1 || *position > settings.rules.size() + 1)) {
        return Report(ExitCode::kUsage, "auto-profile add",
                      "--at takes 1 to " + std::to_string(settings.rules.size() + 1));
    }
    const std::size_t at = position ? *position - 1 : settings.rules.size();
    settings.rules.insert(settings.rules.begin() + static_cast<std::ptrdiff_t>(at), rule);
    return SaveRules(file, settings, "auto-profile add");
}

ExitCode AutoProfileRemove(std::size_t number) {
    const AutoProfileFile file = RulesFile();
    AutoProfileSettings settings;
    ExitCode failure = ExitCode::kSuccess;
    if (!LoadRules(file, settings, "auto-profile remove", failure)) {
        return failure;
    }
    if (number < 1 || number > settings.rules.size()) {
        return Report(ExitCode::kUsage, "auto-profile remove",
                      settings.rules.empty() ? std::string("there are no rules")
                                             : "no rule " + std::to_string(number) + "; there are " +
                                                   std::to_string(settings.rules.size()));
    }
    settings.rules.erase(settings.rules.begin() + static_cast<std::ptrdiff_t>(number - 1));
    return SaveRules(file, settings, "auto-profile remove");
}

ExitCode AutoProfileSwitch(bool on) {
    const AutoProfileFile file = RulesFile();
    AutoProfileSettings settings;
    ExitCode failure = ExitCode::kSuccess;
    const std::string_view step = on ? "auto-profile on" : "auto-profile off";
    if (!LoadRules(file, settings, step, failure)) {
        return failure;
    }
    settings.enabled = on;
    return SaveRules(file, settings, step);
}

ExitCode AutoProfileDefault(std::optional<int> profile) {
    const AutoProfileFile file = RulesFile();
    AutoProfileSettings settings;
    ExitCode failure = ExitCode::kSuccess;
    if (!LoadRules(file, settings, "auto-profile default", failure)) {
        return failure;
    }
    settings.defaultProfile = profile;
    return SaveRules(file, settings, "auto-profile default");
}

} // namespace brasslane::cli

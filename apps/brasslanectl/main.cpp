// brasslanectl: the desktop app's jobs from a shell, against the keyboard (hidraw) or the
// simulated one.

#include "Commands.h"
#include "KeyCommands.h"
#include "Session.h"

#include "platform/DurableSync.h"
#include "platform/StandardStreams.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <map>

namespace brasslane::cli {

namespace {

constexpr const char* kDescription =
    "brasslanectl configures the keyboard from a shell: it lists keyboards, shows what a keyboard\n"
    "offers, backs its three profiles and macros up into a profile file (.fwc) and restores them,\n"
    "switches the active profile, assigns keys and manages macros, sets the lighting and per-key\n"
    "colours, converts profile files to and from JSON, and edits the rules that switch the profile\n"
    "for the focused program.";

constexpr const char* kKeyActionHelp =
    "What the key does: another key's name (see 'brasslanectl keys'), mouse:left, mouse:right,\n"
    "mouse:middle, wheel:up, wheel:down, media:NAME or media:1-18 (media:Mute), function:1-11,\n"
    "macro:NAME or macro:ID, default, or disable";

constexpr const char* kStepsHelp =
    "The steps, from FILE or from standard input with -: one line such as 'A down, 120ms, A up'\n"
    "(a pause follows the step it waits after), or JSON: [{\"key\": \"A\", \"action\": \"press\",\n"
    "\"delay\": 120}, ...] or an object with \"steps\" (and \"repeat\")";

constexpr const char* kFooter =
    "Exit status: 0 success; 1 the keyboard is absent or failed; 2 usage error; 3 a file is\n"
    "invalid, unreadable or cannot be written.\n"
    "Run 'brasslanectl COMMAND --help' for the options of a command; see also brasslanectl(1).";

constexpr const char* kTraceHelp =
    "Append every exchange with the keyboard to FILE: a line '> ' with the 64 request bytes, then\n"
    "'< ' with the 64 answer bytes, or '< timeout' when none came; bytes are two lower-case\n"
    "hexadecimal digits separated by single spaces";

// The lighting options of "lighting set", in the order the help lists them.
constexpr std::array<const char*, 8> kLightingOptions{"effect", "brightness", "speed", "direction",
                                                      "colour", "colourful",  "rate",  "four-colour"};

int Run(int argc, char** argv) {
    CLI::App app{kDescription, "brasslanectl"};
    app.footer(kFooter);
    app.require_subcommand(1);
    app.fallthrough();

    GlobalOptions global;
    std::string stateFile;
    CLI::Option* simulate =
        app.add_option("--simulate", stateFile,
                       "Use the simulated keyboard instead of hidraw; with =STATE.json its memory is loaded from that "
                       "file (created when missing) and saved back after the command")
            ->expected(0, 1)
            ->type_name("[=STATE.json]");
    CLI::Option* model = app.add_option("--model", global.model, "Model of a new simulated keyboard: 7672 or 505b")
                             ->check(CLI::IsMember({"7672", "505b"}, CLI::ignore_case))
                             ->type_name("7672|505b");
    app.add_option("--trace", global.trace, kTraceHelp)->type_name("FILE");

    CLI::App* list =
        app.add_subcommand("list", "List the keyboards found: interface path, vendor:product, model, role");
    bool quiet = false;
    list->add_flag("-q,--quiet", quiet,
                   "Print nothing; exit 0 when a keyboard's command interface can be used, 1 otherwise");

    app.add_subcommand("info", "Show the model, key count, active profile, macro capacity and offered effects");

    std::string backupFile;
    CLI::App* backup = app.add_subcommand("backup", "Read all three profiles and the macros into a profile file");
    backup->add_option("FILE", backupFile, "Profile file to write (.fwc); an existing file is replaced")->required();

    std::string restoreFile;
    CLI::App* restore =
        app.add_subcommand("restore", "Check a profile file, then write its three key maps and macros to the keyboard");
    restore->add_option("FILE", restoreFile, "Profile file to restore (.fwc)")->required();
    bool noVerify = false;
    constexpr const char* kNoVerifyHelp =
        "Do not read back what was written to compare it (faster; a byte the keyboard stored wrong goes unnoticed)";
    restore->add_flag("--no-verify", noVerify, kNoVerifyHelp);

    int profileNumber = 0;
    CLI::App* profile = app.add_subcommand("profile", "Show the keyboard's active profile, or switch to another");
    CLI::Option* profileArgument = profile->add_option("N", profileNumber, "Profile to make active: 1, 2 or 3")
                                       ->check(CLI::Range(1, 3).description(""))
                                       ->type_name("1|2|3");

    CLI::App* lighting = app.add_subcommand("lighting", "Show, change or reset a profile's lighting");
    lighting->require_subcommand(1);
    int lightingProfile = 0;
    std::map<CLI::App*, CLI::Option*> profileOptions;
    const auto addProfileOption = [&](CLI::App* command) {
        profileOptions[command] =
            command
                ->add_option("--profile", lightingProfile,
                             "Profile whose lighting is meant (1-3); the active profile stays as it is. "
                             "Default: the keyboard's active profile")
                ->check(CLI::Range(1, 3).description(""))
                ->type_name("N");
    };
    const auto addKeysProfileOption = [&](CLI::App* command) {
        profileOptions[command] =
            command
                ->add_option("--profile", lightingProfile,
                             "Profile whose keys are meant (1-3); the active profile stays as it is. "
                             "Default: the keyboard's active profile")
                ->check(CLI::Range(1, 3).description(""))
                ->type_name("N");
    };
    CLI::App* lightingShow = lighting->add_subcommand("show", "Show the lighting of a profile");
    addProfileOption(lightingShow);
    CLI::App* lightingSet = lighting->add_subcommand(
        "set", "Change the lighting; the options are sent in the order they are written, one change each");
    addProfileOption(lightingSet);
    lightingSet->footer("Example: brasslanectl lighting set --effect 5 --colour FF8800 --brightness 4");
    std::map<std::string, std::vector<std::string>> lightingValues;
    std::map<const CLI::Option*, std::string> lightingNames;
    const std::map<std::string, std::pair<std::string, std::string>> lightingHelp{
        {"effect", {"N", "Select effect N; the keyboard must offer it (see info)"}},
        {"brightness", {"0-5", "Brightness"}},
        {"speed", {"0-4", "Speed, as the speed control shows it"}},
        {"direction", {"DIR", "left, right (effects 1-3), up, down (effect 12), spread, converge (effect 18)"}},
        {"colour", {"RRGGBB", "Single colour (turns colourful off)"}},
        {"colourful", {"on|off", "Colourful instead of the single colour"}},
        {"rate", {"1-4", "USB report rate button 1 to 4"}},
        {"four-colour", {"COLOUR", "Colour of effect 17: green, yellow, red or blue"}},
    };
    for (const char* name : kLightingOptions) {
        const auto& [type, help] = lightingHelp.at(name);
        std::string flags = std::string("--") + name;
        if (std::string(name) == "colour") {
            flags += ",--color";
        }
        CLI::Option* option = lightingSet->add_option(flags, lightingValues[name], help)->type_name(type);
        lightingNames[option] = name;
    }
    CLI::App* lightingReset =
        lighting->add_subcommand("reset", "Reset the lighting to its defaults (effect 1, brightness 5, white)");
    addProfileOption(lightingReset);

    CLI::App* keyColour = app.add_subcommand("key-colour", "Give keys their own colours (shown by effect 20)");
    addProfileOption(keyColour);
    std::vector<std::string> colourPairs;
    keyColour->add_option("KEY RRGGBB", colourPairs, "Pairs of a key (see 'brasslanectl keys') and its colour")
        ->required()
        ->type_name("");
    keyColour->footer("Example: brasslanectl key-colour W FF0000 A FF0000 S FF0000 D FF0000");
    keyColour->alias("key-color");

    CLI::App* fwc = app.add_subcommand("fwc", "Work with profile files without the keyboard");
    fwc->require_subcommand(1);
    std::string fwcFile;
    std::string fwcOut;
    CLI::App* fwcNew = fwc->add_subcommand("new", "Write a default profile file");
    fwcNew->add_option("OUT", fwcOut, "Profile file to write (.fwc)")->required();
    CLI::App* fwcShow = fwc->add_subcommand("show", "List a profile file: assignments per profile, macros and steps");
    fwcShow->add_option("FILE", fwcFile, "Profile file (.fwc)")->required();
    CLI::App* fwcToJson = fwc->add_subcommand("to-json", "Convert a profile file to JSON");
    fwcToJson->add_option("FILE", fwcFile, "Profile file (.fwc)")->required();
    CLI::Option* toJsonOut = fwcToJson->add_option("OUT", fwcOut, "JSON file to write; standard output when left out");
    CLI::App* fwcFromJson = fwc->add_subcommand("from-json", "Convert JSON to a profile file; nothing is written "
                                                             "when the JSON has a fault");
    fwcFromJson->add_option("IN", fwcFile, "JSON file")->required();
    fwcFromJson->add_option("OUT", fwcOut, "Profile file to write (.fwc)")->required();

    CLI::App* key = app.add_subcommand("key", "Show, assign or reset what the keys of a profile do");
    key->require_subcommand(1);
    CLI::App* keyShow = key->add_subcommand("show", "Show every key's assignment in a profile");
    addKeysProfileOption(keyShow);
    CLI::App* keySet = key->add_subcommand("set", "Give a key another function, as the key dialog does");
    addKeysProfileOption(keySet);
    std::string keyName;
    std::string keyAction;
    keySet->add_option("KEY", keyName, "The key (see 'brasslanectl keys'), or G1-G9")->required();
    keySet->add_option("ACTION", keyAction, kKeyActionHelp)->required();
    keySet->add_flag("--no-verify", noVerify, kNoVerifyHelp);
    keySet->footer("Example: brasslanectl key set CapsLock Ctrl; brasslanectl key set F1 macro:Greeting");
    CLI::App* keyReset = key->add_subcommand("reset", "Give keys their default function back");
    addKeysProfileOption(keyReset);
    std::vector<std::string> resetKeys;
    keyReset->add_option("KEY", resetKeys, "Keys to reset; without any, every key and G1-G9");

    CLI::App* macro = app.add_subcommand("macro", "List, show, add, remove and rename the keyboard's macros");
    macro->require_subcommand(1);
    macro->add_subcommand("list", "List the macros with their ids and the keys that play them");
    std::string macroId;
    std::string macroName;
    std::string macroSteps;
    std::string macroRepeat;
    CLI::App* macroShow = macro->add_subcommand("show", "Show a macro's steps");
    macroShow->add_option("ID", macroId, "The macro's id or name")->required();
    CLI::App* macroAdd = macro->add_subcommand("add", "Add a macro (at most 100, 4000 steps each)");
    macroAdd->add_option("NAME", macroName, "Its name; a name that begins another macro's gets a new one")->required();
    macroAdd->add_option("--steps", macroSteps, kStepsHelp)->required()->type_name("FILE|-");
    CLI::Option* repeatOption =
        macroAdd->add_option("--repeat", macroRepeat, "How often one key press plays it: 1-255 (default 1)")
            ->type_name("N");
    macroAdd->footer("Example: echo 'Ctrl down, C down, C up, Ctrl up' | brasslanectl macro add Copy --steps -");
    CLI::App* macroRemove =
        macro->add_subcommand("remove", "Remove a macro; keys that play it get their default function back");
    macroRemove->add_option("ID", macroId, "The macro's id or name")->required();
    CLI::App* macroRename = macro->add_subcommand("rename", "Give a macro another name");
    macroRename->add_option("ID", macroId, "The macro's id or name")->required();
    macroRename->add_option("NAME", macroName, "The new name")->required();

    CLI::App* autoProfile = app.add_subcommand(
        "auto-profile", "List and edit the rules that switch the profile for the window that has the focus");
    autoProfile->require_subcommand(1);
    autoProfile->footer("The running desktop app picks every change up. Example: brasslanectl auto-profile add "
                        "--class steam_app_570 --profile 2; brasslanectl auto-profile on");
    autoProfile->add_subcommand("list", "List the rules in the order they are tried, numbered");
    CLI::App* autoAdd = autoProfile->add_subcommand("add", "Add a rule; the first rule that matches wins");
    std::string autoClass;
    std::string autoExe;
    std::string autoTitle;
    int autoProfileNumber = 0;
    std::size_t autoAt = 0;
    CLI::Option* autoClassOption =
        autoAdd->add_option("--class", autoClass, "Window class: WM_CLASS instance or class name, any case")
            ->type_name("C");
    CLI::Option* autoExeOption =
        autoAdd->add_option("--exe", autoExe, "Program file; a name without '/' matches the file name alone")
            ->type_name("PATH");
    CLI::Option* autoTitleOption =
        autoAdd->add_option("--title", autoTitle, "Text the window title contains, any case")->type_name("TEXT");
    autoClassOption->excludes(autoExeOption)->excludes(autoTitleOption);
    autoExeOption->excludes(autoTitleOption);
    autoAdd->add_option("--profile", autoProfileNumber, "Profile the keyboard takes: 1, 2 or 3")
        ->required()
        ->check(CLI::Range(1, 3).description(""))
        ->type_name("N");
    CLI::Option* autoAtOption =
        autoAdd->add_option("--at", autoAt, "Insert as rule N instead of after the last")->type_name("N");
    CLI::App* autoRemove = autoProfile->add_subcommand("remove", "Remove a rule");
    std::size_t autoRemoveNumber = 0;
    autoRemove->add_option("N", autoRemoveNumber, "The rule's number, as listed")->required();
    CLI::App* autoOn = autoProfile->add_subcommand("on", "Turn automatic profile switching on");
    autoProfile->add_subcommand("off", "Turn automatic profile switching off");
    CLI::App* autoDefault =
        autoProfile->add_subcommand("default", "Profile for windows no rule matches, or none to leave it as is");
    std::string autoDefaultValue;
    autoDefault->add_option("N", autoDefaultValue, "1, 2, 3 or none")
        ->required()
        ->check(CLI::IsMember({"1", "2", "3", "none"}, CLI::ignore_case))
        ->type_name("1|2|3|none");

    app.add_subcommand("keys", "List every key name the tool accepts, with its scan code");
    app.add_subcommand("firmware-update", "Ask the running desktop app to open its firmware update window");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            app.exit(e);
            return 0;
        }
        std::cerr << "brasslanectl: " << e.what() << "\nRun 'brasslanectl --help' for more information.\n";
        return static_cast<int>(ExitCode::kUsage);
    }

    global.simulate = simulate->count() > 0;
    global.stateFile = stateFile;
    if (model->count() > 0 && !global.simulate) {
        std::cerr << "brasslanectl: --model needs --simulate\n";
        return static_cast<int>(ExitCode::kUsage);
    }

    // Commands without the keyboard.
    if (*fwc) {
        if (*fwcNew) {
            return static_cast<int>(FwcNew(fwcOut));
        }
        if (*fwcToJson) {
            return static_cast<int>(FwcToJson(fwcFile, toJsonOut->count() > 0 ? std::optional(fwcOut) : std::nullopt));
        }
        if (*fwcFromJson) {
            return static_cast<int>(FwcFromJson(fwcFile, fwcOut));
        }
        Session session(global);
        return static_cast<int>(FwcShow(session, fwcFile));
    }
    if (*autoProfile) {
        if (*autoAdd) {
            AutoProfileRule rule;
            rule.profile = autoProfileNumber;
            if (autoClassOption->count() > 0) {
                rule = {AutoProfileRule::Match::kClass, autoClass, autoProfileNumber};
            } else if (autoExeOption->count() > 0) {
                rule = {AutoProfileRule::Match::kExe, autoExe, autoProfileNumber};
            } else if (autoTitleOption->count() > 0) {
                rule = {AutoProfileRule::Match::kTitle, autoTitle, autoProfileNumber};
            } else {
                std::cerr << "brasslanectl: auto-profile add needs --class, --exe or --title\n";
                return static_cast<int>(ExitCode::kUsage);
            }
            return static_cast<int>(
                AutoProfileAdd(rule, autoAtOption->count() > 0 ? std::optional(autoAt) : std::nullopt));
        }
        if (*autoRemove) {
            return static_cast<int>(AutoProfileRemove(autoRemoveNumber));
        }
        if (*autoDefault) {
            const bool none = autoDefaultValue == "none" || autoDefaultValue == "NONE" || autoDefaultValue == "None";
            return static_cast<int>(
                AutoProfileDefault(none ? std::nullopt : std::optional(std::stoi(autoDefaultValue))));
        }
        if (autoProfile->got_subcommand("off") || *autoOn) {
            return static_cast<int>(AutoProfileSwitch(static_cast<bool>(*autoOn)));
        }
        return static_cast<int>(AutoProfileList());
    }
    if (app.got_subcommand("keys")) {
        return static_cast<int>(ListKeys());
    }
    if (app.got_subcommand("firmware-update")) {
        return static_cast<int>(FirmwareUpdate());
    }

    // The commands that write key maps from a file or a key assignment read them back.
    global.verifyWrites = (*restore || *keySet) && !noVerify;
    Session session(global);
    const auto profileOf = [&](CLI::App* command) -> std::optional<int> {
        const auto found = profileOptions.find(command);
        if (found != profileOptions.end() && found->second->count() > 0) {
            return lightingProfile;
        }
        return std::nullopt;
    };
    ExitCode result = ExitCode::kSuccess;
    if (*list) {
        result = ListKeyboards(session, quiet);
    } else if (app.got_subcommand("info")) {
        result = ShowInfo(session);
    } else if (*backup) {
        result = Backup(session, backupFile);
    } else if (*restore) {
        result = Restore(session, restoreFile);
    } else if (*profile) {
        result = Profile(session, profileArgument->count() > 0 ? std::optional(profileNumber) : std::nullopt);
    } else if (*lightingShow) {
        result = LightingShow(session, profileOf(lightingShow));
    } else if (*lightingSet) {
        // The options in the order they were written; an option given twice counts twice.
        std::vector<LightingOption> options;
        std::map<std::string, std::size_t> used;
        for (const CLI::Option* option : lightingSet->parse_order()) {
            const auto named = lightingNames.find(option);
            if (named == lightingNames.end()) {
                continue;
            }
            const std::vector<std::string>& values = lightingValues[named->second];
            std::size_t& next = used[named->second];
            if (next < values.size()) {
                options.push_back(LightingOption{named->second, values[next++]});
            }
        }
        result = LightingSet(session, profileOf(lightingSet), options);
    } else if (*lightingReset) {
        result = LightingReset(session, profileOf(lightingReset));
    } else if (*keyColour) {
        result = KeyColour(session, profileOf(keyColour), colourPairs);
    } else if (*keyShow) {
        result = KeyShow(session, profileOf(keyShow));
    } else if (*keySet) {
        result = KeySet(session, profileOf(keySet), keyName, keyAction);
    } else if (*keyReset) {
        result = KeyReset(session, profileOf(keyReset), resetKeys);
    } else if (macro->got_subcommand("list")) {
        result = MacroList(session);
    } else if (*macroShow) {
        result = MacroShow(session, macroId);
    } else if (*macroAdd) {
        result = MacroAdd(session, macroName, macroSteps,
                          repeatOption->count() > 0 ? std::optional(macroRepeat) : std::nullopt);
    } else if (*macroRemove) {
        result = MacroRemove(session, macroId);
    } else if (*macroRename) {
        result = MacroRename(session, macroId, macroName);
    }
    return static_cast<int>(session.Finish(result));
}

} // namespace

} // namespace brasslane::cli

int main(int argc, char** argv) {
    brasslane::platform::PrepareStandardStreams();
    brasslane::platform::InstallDurableSync();
    try {
        return brasslane::cli::Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "brasslanectl: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "brasslanectl: unexpected failure\n";
    }
    return static_cast<int>(brasslane::cli::ExitCode::kKeyboard);
}

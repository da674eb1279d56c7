// Every device action of the main window against a keyboard that fails at each exchange in turn:
// no answer, status 0xFF, status 0xFE, a late answer, or unplugged. After each run no file is
// truncated or half-written, a failure is never reported as success, and the same action once
// the fault is gone leaves the keyboard's memory exactly as a run without faults does.

#include "AppTestSupport.h"

#include "core/base/Messages.h"
#include "core/keys/KeyEntry.h"
#include "support/ManualClock.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>

namespace brasslane::test {

namespace {

namespace fs = std::filesystem;

using Files = std::map<std::string, std::vector<std::uint8_t>>;

enum class Fault { kNoAnswer, kStatusFF, kStatusFE, kLateAnswer, kUnplug };

const char* FaultName(Fault fault) {
    switch (fault) {
    case Fault::kNoAnswer:
        return "no answer";
    case Fault::kStatusFF:
        return "status 0xFF";
    case Fault::kStatusFE:
        return "status 0xFE";
    case Fault::kLateAnswer:
        return "late answer";
    case Fault::kUnplug:
        return "unplug";
    }
    return "?";
}

// The fault hits exchange `at` (0 = the action's first request).
sim::SimFaults FaultAt(Fault fault, int at) {
    switch (fault) {
    case Fault::kNoAnswer:
        return {.faultsAfter = at, .noAnswer = 4}; // every attempt of the exchange goes unanswered
    case Fault::kStatusFF:
        return {.faultsAfter = at, .statusByte = 0xFF, .statusCount = 1};
    case Fault::kStatusFE:
        return {.faultsAfter = at, .statusByte = 0xFE, .statusCount = 1};
    case Fault::kLateAnswer:
        return {.faultsAfter = at, .lateAnswers = 1}; // after the read timeout: the link tries again
    case Fault::kUnplug:
        return {.unplugAfter = at};
    }
    return {};
}

Files ReadFiles(const fs::path& folder) {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        files[fs::relative(entry.path(), folder).string()] =
            std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

KeyEntry Entry(AssignmentType type, std::uint32_t param = 0) {
    KeyEntry entry;
    entry.type = static_cast<std::uint16_t>(type);
    entry.param = param;
    return entry;
}

MacroBlock Macro(std::uint16_t id) {
    MacroBlock macro;
    macro.id = id;
    macro.name = u"Fault macro";
    macro.repeat = 1;
    for (int i = 0; i < 40; ++i) { // long enough for several chunks of the macro area
        macro.steps.push_back({20, 0x1E, 0});
        macro.steps.push_back({20, 0x1E, 1});
    }
    return macro;
}

// One run's world: a keyboard on a clock whose waits pass at once, the desktop app's core
// and main window model over it, in folders of its own.
struct Rig {
    explicit Rig(const std::string& keyboardState) {
        std::string error;
        EXPECT_TRUE(keyboard.LoadJson(keyboardState, &error)) << error;
        SessionCoreOptions options = MakeOptions(folder.Path());
        options.linkClock = &clock;
        core = std::make_unique<AppCore>(std::move(options), backend, ui);
        model = std::make_unique<MainWindowModel>(*core, view);
        const ConnectResult connected = core->Connect();
        EXPECT_EQ(connected.reads, kStatusSuccess);
        core->Connection().publishedState.store(1);
        EXPECT_EQ(model->OnMessage(MSG_PROFILE_SYNC, kCodeProf, 0), 1);
        keyboard.ClearRequestLog();
        ui.Clear();
    }
    int Exchanges() const { return static_cast<int>(keyboard.RequestLog().size()); }

    ManualClock clock{ManualClock::kJumpToDeadline};
    sim::SimKeyboard keyboard{sim::SimModel::k7672, &clock};
    sim::SimHidBackend backend{keyboard};
    TempFolder folder{"brasslane-faults-"};
    RecordingUiSink ui;
    RecordingView view;
    std::unique_ptr<AppCore> core;
    std::unique_ptr<MainWindowModel> model;
};

struct Action {
    const char* name;
    // Puts the pending edits (or input files) in place before the action.
    std::function<void(Rig&)> prepare;
    // Runs the action; true when it says it succeeded.
    std::function<bool(Rig&)> run;
    // After a failure: the user was told (Apply stays enabled, a message, a false result...).
    std::function<bool(Rig&)> told;
};

void EditAllProfiles(Rig& rig) {
    {
        std::lock_guard lock(rig.core->Working().lock);
        for (std::size_t area = 0; area < 3; ++area) {
            rig.core->Working().image.SetEntry(RecordIndex(area, 0x1E),
                                               Entry(AssignmentType::kKey, static_cast<std::uint32_t>(0x30 + area)));
        }
        rig.core->Working().image.macros = {Macro(1)};
        rig.core->Working().image.SetEntry(RecordIndex(1, 0x10), Entry(AssignmentType::kMacro, 1));
    }
    rig.core->Working().allProfilesRequest.store(true);
    rig.model->SetModified(true);
}

bool ApplyTold(Rig& rig) {
    return rig.model->IsModified() && !rig.model->LastWrite().Ok() && rig.view.applyEnabled;
}

std::vector<Action> Actions() {
    return {
        {"apply the current profile",
         [](Rig& rig) {
             {
                 std::lock_guard lock(rig.core->Working().lock);
                 rig.core->Working().image.SetEntry(RecordIndex(0, 0x1E), Entry(AssignmentType::kDisabled));
             }
             rig.model->SetModified(true);
         },
         [](Rig& rig) { return rig.model->Apply(); }, ApplyTold},
        {"apply all three profiles", EditAllProfiles, [](Rig& rig) { return rig.model->Apply(); }, ApplyTold},
        {"import",
         [](Rig& rig) {
             // A profile file with edits in every profile and a macro, made by the app's export.
             EditAllProfiles(rig);
             ASSERT_TRUE(rig.model->Export(rig.folder / "import.fwc"));
             rig.model->OnMessage(MSG_PROFILE_SYNC, kCodeProf, 0);
             rig.keyboard.ClearRequestLog();
         },
         [](Rig& rig) { return rig.model->Import(rig.folder / "import.fwc") && !rig.model->IsModified(); }, ApplyTold},
        {"backup", [](Rig&) {},
         [](Rig& rig) {
             std::string error;
             const bool ok = rig.core->Profiles().ReadKeyboardProfile(rig.folder / "backup.fwc", &error);
             EXPECT_EQ(ok, error.empty());
             return ok;
         },
         [](Rig&) { return true; }}, // the false result is the report; checked by the runner
        {"profile switch", [](Rig&) {}, [](Rig& rig) { return rig.model->SwitchProfile(2); },
         [](Rig& rig) { return rig.core->State().activeProfile.load() != 2; }},
        {"lighting change", [](Rig&) {},
         [](Rig& rig) { return rig.core->Lighting().SetBrightness(1) == kStatusSuccess; },
         [](Rig& rig) { return rig.core->Lighting().State().lastStatus != kStatusSuccess; }},
    };
}

// The keyboard's memory areas, compared area by area so that a difference is reported short.
struct Memory {
    explicit Memory(const sim::SimKeyboard& keyboard)
        : info(Bytes(keyboard.Info())), keyMaps(keyboard.KeyMaps()), macroArea(keyboard.MacroArea()),
          lighting(Bytes(keyboard.Lighting())), keyColours(Bytes(keyboard.KeyColours())) {}
    template <std::size_t N> static std::vector<std::uint8_t> Bytes(const std::array<std::uint8_t, N>& area) {
        return {area.begin(), area.end()};
    }

    // "" when equal, else the first area and byte that differ.
    std::string Difference(const Memory& other) const {
        const std::pair<const char*, std::pair<const std::vector<std::uint8_t>*, const std::vector<std::uint8_t>*>>
            areas[] = {{"information block", {&info, &other.info}},
                       {"key maps", {&keyMaps, &other.keyMaps}},
                       {"macro area", {&macroArea, &other.macroArea}},
                       {"lighting", {&lighting, &other.lighting}},
                       {"key colours", {&keyColours, &other.keyColours}}};
        for (const auto& [name, pair] : areas) {
            const auto [at, _] = std::mismatch(pair.first->begin(), pair.first->end(), pair.second->begin());
            if (at != pair.first->end()) {
                return std::string(name) + " at byte " + std::to_string(at - pair.first->begin());
            }
        }
        return "";
    }

    std::vector<std::uint8_t> info, keyMaps, macroArea, lighting, keyColours;
};

// Files may stay as they were or be the complete new ones; nothing else may appear (no
// temporary file left behind, no partial backup).
void ExpectFilesIntact(const Files& before, const Files& after, const Files& now, const std::string& where) {
    for (const auto& [name, bytes] : now) {
        const auto old = before.find(name);
        const auto fresh = after.find(name);
        const bool asBefore = old != before.end() && old->second == bytes;
        const bool asAfter = fresh != after.end() && fresh->second == bytes;
        EXPECT_TRUE(asBefore || asAfter) << where << ": " << name << " is neither the old nor the new file ("
                                         << bytes.size() << " bytes)";
    }
    for (const auto& [name, bytes] : before) {
        EXPECT_TRUE(now.contains(name)) << where << ": " << name << " was lost";
    }
}

class FaultMatrix : public ::testing::Test {
protected:
    void SetUp() override {
        // A keyboard that already holds something: profile 2's A key and a lighting block of its own.
        sim::SimKeyboard seed;
        std::vector<std::uint8_t> maps = seed.KeyMaps();
        maps[378 + 3] = 0; // a position of profile 2 disabled
        seed.SetKeyMaps(maps);
        m_state = seed.SaveJson();
    }

    std::string m_state;
};

TEST_F(FaultMatrix, EveryFaultAtEveryExchangeOfEveryAction) {
    int runs = 0;
    int failures = 0;
    for (const Action& action : Actions()) {
        // The run without faults: what the keyboard and the files must end up as.
        Rig reference(m_state);
        action.prepare(reference);
        const Files before = ReadFiles(reference.folder.Path() / "data");
        ASSERT_TRUE(action.run(reference)) << action.name;
        const int exchanges = reference.Exchanges();
        ASSERT_GT(exchanges, 0) << action.name;
        const Memory expected(reference.keyboard);
        const Files after = ReadFiles(reference.folder.Path() / "data");
        const Files backupAfter = ReadFiles(reference.folder.Path());

        for (const Fault fault :
             {Fault::kNoAnswer, Fault::kStatusFF, Fault::kStatusFE, Fault::kLateAnswer, Fault::kUnplug}) {
            for (int at = 0; at < exchanges; ++at) {
                const std::string where =
                    std::string(action.name) + ", " + FaultName(fault) + " at exchange " + std::to_string(at);
                Rig rig(m_state);
                action.prepare(rig);
                if (fault == Fault::kUnplug && at == 0) {
                    rig.keyboard.Unplug();
                } else {
                    rig.keyboard.SetFaults(FaultAt(fault, at));
                }
                const bool ok = action.run(rig);
                ++runs;
                const Memory held(rig.keyboard);
                rig.keyboard.SetFaults({});
                if (ok) {
                    // A success must be a true one.
                    EXPECT_EQ(held.Difference(expected), "") << where << ": reported success, the keyboard differs";
                } else {
                    ++failures;
                    EXPECT_TRUE(action.told(rig)) << where << ": the failure was not reported";
                }
                ExpectFilesIntact(before, after, ReadFiles(rig.folder.Path() / "data"), where);
                const Files top = ReadFiles(rig.folder.Path());
                if (top.contains("backup.fwc")) {
                    EXPECT_EQ(top.at("backup.fwc"), backupAfter.at("backup.fwc")) << where << ": partial backup";
                }

                // The fault clears (the keyboard comes back) and the user does the same again.
                if (!rig.keyboard.IsPlugged()) {
                    rig.keyboard.Plug();
                    ASSERT_EQ(rig.core->Connect().reads, kStatusSuccess) << where;
                }
                EXPECT_TRUE(action.run(rig)) << where << ": the retry failed";
                EXPECT_EQ(Memory(rig.keyboard).Difference(expected), "") << where << ": after the retry";
                EXPECT_TRUE(ReadFiles(rig.folder.Path() / "data") == after) << where << ": files after the retry";
                if (::testing::Test::HasFailure()) {
                    return; // one broken cell tells enough
                }
            }
        }
    }
    std::cout << "fault matrix: " << runs << " runs, " << failures << " reported failures\n";
    EXPECT_GT(failures, 0);
}

} // namespace

} // namespace brasslane::test

// brasslanectl's key and macro commands as a user runs them: the built program against the
// simulated keyboard, whose memory is kept in a state file between runs and checked here.

#include "core/keys/KeyAction.h"
#include "core/keys/MacroBlob.h"
#include "platform/sim/SimKeyboard.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace brasslane::test {
namespace {

namespace fs = std::filesystem;

constexpr ScanCode kA = 0x1E;
constexpr ScanCode kF1 = 0x3B;

struct CtlRun {
    int status = -1;
    std::string out;
    std::string err;
};

// The position of a key in the keyboard's key map.
std::size_t PositionOf(ScanCode code) {
    const auto defaults = BuiltInDefaultMatrix();
    for (std::size_t i = 0; i < defaults.size(); ++i) {
        if (DecodePosition(defaults[i]) == code) {
            return i;
        }
    }
    return defaults.size();
}

class KeyCommandsTest : public ::testing::Test {
protected:
    KeyCommandsTest() {
        fs::create_directories(m_folder.Path() / "config");
        fs::create_directories(m_folder.Path() / "data");
    }

    fs::path Path(const std::string& name) const { return m_folder.Path() / name; }

    // brasslanectl --simulate=<state file> ARGS, with `input` on its standard input.
    CtlRun Ctl(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), "--simulate=" + Path("state.json").string());
        args.insert(args.begin(), BRASSLANECTL);
        std::vector<std::string> env;
        for (const std::string& entry : CurrentEnvironment()) {
            if (!entry.starts_with("XDG_CONFIG_HOME=") && !entry.starts_with("XDG_DATA_HOME=") &&
                !entry.starts_with("BRASSLANE_SIM_FAULTS=") && !entry.starts_with("APPDATA=")) {
                env.push_back(entry);
            }
        }
        env.push_back("XDG_CONFIG_HOME=" + Path("config").string());
        env.push_back("XDG_DATA_HOME=" + Path("data").string());
        env.push_back("APPDATA=" + Path("data").string()); // Windows' settings and data folder
        const ProgramRun run = RunProgram(args, env, m_folder.Path(), input);
        return {run.status, run.out, run.err};
    }
    CtlRun Ok(std::vector<std::string> args, const std::string& input = {}) {
        CtlRun run = Ctl(std::move(args), input);
        EXPECT_EQ(run.status, 0) << run.err;
        return run;
    }

    sim::SimKeyboard Keyboard() const {
        sim::SimKeyboard keyboard;
        std::string error;
        EXPECT_TRUE(keyboard.LoadStateFile(Path("state.json"), &error)) << error;
        return keyboard;
    }
    KeyAction Action(ScanCode key, int profile = 0) const {
        const sim::SimKeyboard keyboard = Keyboard();
        const std::vector<std::uint8_t> maps = keyboard.KeyMaps();
        return KeyAction::At(
            std::span<const std::uint8_t>(maps).subspan(profile * keyboard.BlockSize(), keyboard.BlockSize()),
            PositionOf(key));
    }
    std::vector<MacroBlock> Macros() const {
        std::vector<MacroBlock> macros;
        ParseMacroBlob(Keyboard().MacroArea(), "M", macros);
        return macros;
    }

private:
    TempFolder m_folder{"brasslane-keys-e2e-"};
};

TEST_F(KeyCommandsTest, KeySetWritesTheKeyMapAndKeyShowSaysIt) {
    Ok({"key", "set", "A", "B"});
    EXPECT_EQ(Action(kA), (KeyAction{0x02, 0x02, 0x05}));
    const CtlRun shown = Ok({"key", "show"});
    EXPECT_TRUE(std::regex_search(shown.out, std::regex("\nA +\u2192 B\n"))) << shown.out;
    EXPECT_TRUE(std::regex_search(shown.out, std::regex("\nS +\u2192 default\n"))) << shown.out;

    // The dialog's rules: a media key is a media function, a key given itself is its default.
    Ok({"key", "set", "A", "Mute"});
    EXPECT_EQ(Action(kA), (KeyAction{0x03, 0xE2, 0x00}));
    Ok({"key", "set", "A", "wheel:down"});
    EXPECT_EQ(Action(kA), (KeyAction{0x01, 0x05, 0xFF}));
    Ok({"key", "set", "A", "function:3"});
    EXPECT_EQ(Action(kA), (KeyAction{0x05, 0x05, 0x02}));
    EXPECT_NE(Ok({"key", "show"}).out.find("function:3 (Brightness up)"), std::string::npos);
    Ok({"key", "set", "A", "A"});
    EXPECT_EQ(Action(kA), (KeyAction{0x02, 0x02, 0x04}));
    Ok({"key", "set", "A", "disable"});
    EXPECT_EQ(Action(kA), (KeyAction{0x00, 0x00, 0x00}));

    // Another profile's key map, the active one untouched.
    Ok({"key", "set", "--profile", "3", "A", "LeftButton"});
    EXPECT_EQ(Action(kA, 2), (KeyAction{0x01, 0x01, 0x01}));
    EXPECT_EQ(Action(kA, 0), (KeyAction{0x00, 0x00, 0x00}));
    EXPECT_EQ(Keyboard().ActiveProfile(), 0);

    Ok({"key", "reset"});
    EXPECT_EQ(Action(kA), (KeyAction{0x02, 0x02, 0x04}));
    EXPECT_EQ(Action(kA, 2), (KeyAction{0x01, 0x01, 0x01}));

    // Refused: nothing is written.
    const std::vector<std::uint8_t> before = Keyboard().KeyMaps();
    const CtlRun g9 = Ctl({"key", "set", "G9", "B"});
    EXPECT_EQ(g9.status, 2);
    EXPECT_NE(g9.err.find("G9 plays macros only"), std::string::npos) << g9.err;
    EXPECT_EQ(Ctl({"key", "set", "A", "nonsense"}).status, 2);
    EXPECT_EQ(Ctl({"key", "set", "NoSuchKey", "B"}).status, 2);
    EXPECT_EQ(Ctl({"key", "set", "A", "macro:7"}).status, 2);
    EXPECT_EQ(Keyboard().KeyMaps(), before);
}

TEST_F(KeyCommandsTest, AMacroAddedAndAssignedPlaysUntilItIsRemoved) {
    const CtlRun added = Ok({"macro", "add", "Hello", "--steps", "-"}, "A down, 120ms, A up\n");
    EXPECT_NE(added.out.find("Added macro 1 \"Hello\" with 2 steps"), std::string::npos) << added.out;
    Ok({"key", "set", "F1", "macro:Hello"});
    EXPECT_EQ(Action(kF1), (KeyAction{0x05, 0x01, 0x00}));
    std::vector<MacroBlock> macros = Macros();
    ASSERT_EQ(macros.size(), 1u);
    EXPECT_EQ(macros[0].name, u"Hello");
    EXPECT_EQ(macros[0].steps, (std::vector<MacroStep>{{120, kA, 0}, {0, kA, 1}}));
    EXPECT_NE(Ok({"macro", "show", "1"}).out.find("steps:  A down, 120ms, A up"), std::string::npos);

    // A second macro through JSON. A name that begins the first one's gets a generated one, as
    // in the dialog: the new macro was "Macro 1", typing "Hel" over it gives "Macro 2".
    std::ofstream(Path("steps.json")) << R"({"repeat": 3, "steps": [
        {"key": "Ctrl", "action": "press"}, {"key": "C", "action": "press", "delay": 20},
        {"key": "C", "action": "release"}, {"key": "Ctrl", "action": "release"}]})";
    const CtlRun second = Ok({"macro", "add", "Hel", "--steps", Path("steps.json").string()});
    EXPECT_NE(second.out.find("named \"Macro 2\""), std::string::npos) << second.out;
    macros = Macros();
    ASSERT_EQ(macros.size(), 2u);
    EXPECT_EQ(macros[1].name, u"Macro 2");
    EXPECT_EQ(macros[1].repeat, 3);
    EXPECT_EQ(macros[1].steps, (std::vector<MacroStep>{{0, 0x1D, 0}, {20, 0x2E, 0}, {0, 0x2E, 1}, {0, 0x1D, 1}}));
    // F1 still plays the first.
    EXPECT_EQ(Action(kF1), (KeyAction{0x05, 0x01, 0x00}));
}

TEST_F(KeyCommandsTest, RemovingAMacroGivesItsKeysTheirDefaultBack) {
    Ok({"macro", "add", "One", "--steps", "-"}, "B down, B up");
    Ok({"macro", "add", "Two", "--steps", "-"}, "C down, 30ms, C up");
    Ok({"key", "set", "F1", "macro:Two"});
    Ok({"key", "set", "--profile", "2", "A", "macro:2"});
    EXPECT_EQ(Action(kF1), (KeyAction{0x05, 0x01, 0x01}));

    const CtlRun removed = Ok({"macro", "remove", "Two"});
    EXPECT_NE(removed.out.find("F1 (profile 1)"), std::string::npos) << removed.out;
    EXPECT_NE(removed.out.find("A (profile 2)"), std::string::npos) << removed.out;
    EXPECT_NE(removed.err.find("answered Yes"), std::string::npos) << removed.err;
    // Every profile's key map was written: both keys play their default again.
    EXPECT_EQ(Action(kF1), (KeyAction{0x02, 0x02, 0x3A}));
    EXPECT_EQ(Action(kA, 1), (KeyAction{0x02, 0x02, 0x04}));
    ASSERT_EQ(Macros().size(), 1u);
    EXPECT_EQ(Macros()[0].name, u"One");

    Ok({"macro", "rename", "One", "Uno"});
    EXPECT_EQ(Macros()[0].name, u"Uno");
    EXPECT_EQ(Ctl({"macro", "remove", "Two"}).status, 2);
}

TEST_F(KeyCommandsTest, TheMacroLimitsAreTheDialogs) {
    // Delays: too long is cut to 40000 with the dialog's message; tens of milliseconds.
    const CtlRun delays = Ok({"macro", "add", "Slow", "--steps", "-", "--repeat", "300"},
                             R"([{"key": "A", "action": "press", "delay": 40005},
                              {"key": "A", "action": "release", "delay": 1234}])");
    EXPECT_NE(delays.err.find("A pause can be at most 40000 ms."), std::string::npos) << delays.err;
    ASSERT_EQ(Macros().size(), 1u);
    EXPECT_EQ(Macros()[0].repeat, 255);
    EXPECT_EQ(Macros()[0].steps, (std::vector<MacroStep>{{40000, kA, 0}, {1230, kA, 1}}));

    // Not a step: a media key; more than 4000 steps.
    EXPECT_EQ(Ctl({"macro", "add", "Media", "--steps", "-"}, "Mute down, Mute up").status, 2);
    std::string many;
    for (int i = 0; i < 2001; ++i) {
        many += "B down, B up, ";
    }
    const CtlRun tooMany = Ctl({"macro", "add", "Many", "--steps", "-"}, many);
    EXPECT_EQ(tooMany.status, 2);
    EXPECT_NE(tooMany.err.find("at most 4000 steps"), std::string::npos) << tooMany.err;
    EXPECT_EQ(Macros().size(), 1u);

    // The 101st macro.
    std::vector<MacroBlock> full;
    for (std::uint16_t id = 1; id <= kMaxMacros; ++id) {
        MacroBlock macro;
        macro.id = id;
        macro.name = u"m";
        full.push_back(macro);
    }
    sim::SimKeyboard keyboard = Keyboard();
    const MacroBlobSizes sizes = MacroBlobSize(full);
    std::vector<std::uint8_t> blob(sizes.withoutNames);
    ASSERT_TRUE(BuildMacroBlob(full, blob, static_cast<std::uint16_t>(blob.size()), false));
    keyboard.SetMacroArea(blob);
    std::string error;
    ASSERT_TRUE(keyboard.SaveStateFile(Path("state.json"), &error)) << error;
    const CtlRun refused = Ctl({"macro", "add", "OneMore", "--steps", "-"}, "A down, A up");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("You can have at most 100 macros."), std::string::npos) << refused.err;
    EXPECT_EQ(Macros().size(), kMaxMacros);
}

} // namespace
} // namespace brasslane::test

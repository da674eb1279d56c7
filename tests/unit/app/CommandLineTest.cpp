#include "core/app/CommandLine.h"

#include <gtest/gtest.h>

namespace brasslane {

namespace {

CommandLine Parse(std::initializer_list<std::string_view> args) {
    const std::vector<std::string_view> list(args);
    return ParseCommandLine(std::span<const std::string_view>(list));
}

} // namespace

TEST(CommandLineTest, SwitchesIgnoreCaseAndUnknownArgumentsAreKept) {
    for (const std::string_view kill : {"/Kill", "/kill", "/KILL", "/kIlL"}) {
        const CommandLine line = Parse({kill});
        EXPECT_TRUE(line.kill) << kill;
        EXPECT_FALSE(line.start) << kill;
    }
    for (const std::string_view start : {"/Start", "/start", "/START"}) {
        EXPECT_TRUE(Parse({start}).start) << start;
    }
    const CommandLine both = Parse({"/start", "extra", "/Kill", "-Kill", "/Killer"});
    EXPECT_TRUE(both.kill);
    EXPECT_TRUE(both.start);
    EXPECT_EQ(both.ignored, (std::vector<std::string>{"extra", "-Kill", "/Killer"}));
    EXPECT_TRUE(both.error.empty());

    const char* argv[] = {"brasslane", "/START", nullptr};
    EXPECT_TRUE(ParseCommandLine(2, argv).start);
    EXPECT_FALSE(ParseCommandLine(1, argv).start);
}

TEST(CommandLineTest, SimulationAndModel) {
    CommandLine line = Parse({"--simulate"});
    EXPECT_TRUE(line.simulate);
    EXPECT_TRUE(line.simulateState.empty());

    line = Parse({"--simulate=/tmp/state.json", "--model", "505B"});
    EXPECT_TRUE(line.simulate);
    EXPECT_EQ(line.simulateState, "/tmp/state.json");
    EXPECT_EQ(line.model, 0x505B);

    EXPECT_EQ(Parse({"--model=7672"}).model, 0x7672);

    line = Parse({"--model", "1234", "/Start"});
    EXPECT_FALSE(line.model.has_value());
    EXPECT_FALSE(line.error.empty());
    EXPECT_TRUE(line.start);

    line = Parse({"--model"});
    EXPECT_FALSE(line.model.has_value());
    EXPECT_FALSE(line.error.empty());

    // Look-alikes are not the options.
    line = Parse({"--simulated", "--models=7672"});
    EXPECT_FALSE(line.simulate);
    EXPECT_FALSE(line.model.has_value());
    EXPECT_EQ(line.ignored.size(), 2u);
}

} // namespace brasslane

namespace brasslane {

TEST(CommandLineTest, HelpAndVersionAreOptionsAndUnknownArgumentsAreNamed) {
    const CommandLine help = Parse({"/Start", "--help"});
    EXPECT_TRUE(help.help);
    EXPECT_TRUE(help.start);
    EXPECT_TRUE(help.ignored.empty());
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_FALSE(Parse({"--HELP"}).help); // only the switches ignore case
    EXPECT_TRUE(Parse({"--version"}).version);
    EXPECT_FALSE(Parse({"--version"}).help);

    EXPECT_EQ(VersionText("1.2.3"), "brasslane 1.2.3\n");
    EXPECT_EQ(IgnoredArgumentText("--bogus"), "brasslane: ignoring unknown argument \"--bogus\"\n");
    // The help names every option the parser knows.
    const std::string text = CommandLineHelp();
    for (const char* option : {"/Start", "/Kill", "--simulate", "--model", "--help", "--version"}) {
        EXPECT_NE(text.find(option), std::string::npos) << option;
    }
}

} // namespace brasslane

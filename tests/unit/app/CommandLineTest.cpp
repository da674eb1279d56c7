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

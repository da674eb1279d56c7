// The steps of `macro add`: the one-line text form and JSON, what each refuses, and the text
// form that `macro show` writes reading back as the same steps.

#include "MacroSteps.h"

#include <gtest/gtest.h>

namespace brasslane::cli {
namespace {

struct Step {
    ScanCode key;
    std::uint16_t state;
    std::string delay;
};

std::vector<Step> Parsed(std::string_view text) {
    StepsInput input;
    std::string error;
    EXPECT_TRUE(ParseMacroSteps(text, input, &error)) << text << ": " << error;
    std::vector<Step> steps;
    for (const WrittenStep& step : input.steps) {
        steps.push_back({step.key, step.state, step.delay});
    }
    return steps;
}

bool operator==(const Step& a, const Step& b) {
    return a.key == b.key && a.state == b.state && a.delay == b.delay;
}

std::string Refused(std::string_view text) {
    StepsInput input;
    std::string error;
    EXPECT_FALSE(ParseMacroSteps(text, input, &error)) << text;
    return error;
}

TEST(MacroSteps, TheTextFormPutsEachPauseAfterItsStep) {
    EXPECT_EQ(Parsed("A down, 120ms, A up"), (std::vector<Step>{{0x1E, 0, "120"}, {0x1E, 1, "0"}}));
    // Key names with spaces, other action words, pauses without "ms", newlines and a trailing pause.
    EXPECT_EQ(Parsed("Caps Lock press\n50\nlctrl Release;  7 ms , 3ms"),
              (std::vector<Step>{{0x3A, 0, "50"}, {0x1D, 1, "10"}}));
    // Pauses are passed on as written, for the editor's own rules.
    EXPECT_EQ(Parsed("A down, 40005ms, A up, -5ms"), (std::vector<Step>{{0x1E, 0, "40005"}, {0x1E, 1, "-5"}}));
    EXPECT_TRUE(Parsed("  ").empty());

    EXPECT_NE(Refused("120ms, A down").find("item 1: a pause must follow a step"), std::string::npos);
    EXPECT_NE(Refused("A down, A sideways").find("item 2"), std::string::npos);
    EXPECT_NE(Refused("NoSuchKey down").find("\"NoSuchKey\" is not a key"), std::string::npos);
    EXPECT_NE(Refused("A").find("neither"), std::string::npos);
}

TEST(MacroSteps, JsonStepsAsTheProfileJsonWritesThem) {
    StepsInput input;
    std::string error;
    ASSERT_TRUE(ParseMacroSteps(R"({"name": "x", "repeat": 4, "steps": [{"key": "A", "action": "press", "delay": 30},
        {"key": "0x171", "action": "release"}]})",
                                input, &error))
        << error;
    EXPECT_EQ(input.repeat, "4");
    ASSERT_EQ(input.steps.size(), 2u);
    EXPECT_EQ(input.steps[0].delay, "30");
    EXPECT_EQ(input.steps[1].key, 0x171);
    EXPECT_EQ(input.steps[1].state, 1);
    EXPECT_EQ(input.steps[1].delay, "0");
    EXPECT_EQ(Parsed(R"([{"key": "B", "action": "down", "delay": 99999}])"), (std::vector<Step>{{0x30, 0, "99999"}}));

    EXPECT_NE(Refused(R"([{"key": "A", "action": "press", "pause": 3}])").find("steps[0]: unknown field \"pause\""),
              std::string::npos);
    EXPECT_NE(Refused(R"([{"key": "A", "action": "hold"}])").find("steps[0].action"), std::string::npos);
    EXPECT_NE(Refused(R"([{"key": "A", "action": "press", "delay": 1.5}])").find("steps[0].delay"), std::string::npos);
    EXPECT_NE(Refused(R"({"step": []})").find("unknown field"), std::string::npos);
    EXPECT_NE(Refused(R"([{"key": "A", "action": "press"})").find("not valid JSON"), std::string::npos);
}

TEST(MacroSteps, WrittenStepsReadBackTheSame) {
    const std::vector<MacroStep> steps{{120, 0x1E, 0}, {0, 0x1E, 1}, {40000, 0x33, 0}, {10, 0x33, 1}, {0, 0x162, 0}};
    const std::string text = FormatMacroSteps(steps);
    EXPECT_EQ(text.substr(0, 20), "A down, 120ms, A up,");
    const std::vector<Step> read = Parsed(text);
    ASSERT_EQ(read.size(), steps.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(read[i].key, steps[i].key) << text;
        EXPECT_EQ(read[i].state, steps[i].state) << text;
        EXPECT_EQ(read[i].delay, std::to_string(steps[i].delay)) << text;
    }
}

} // namespace
} // namespace brasslane::cli

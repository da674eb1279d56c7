#include "ExchangeTrace.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <sstream>
#include <string>

namespace brasslane::cli {
namespace {

using Frame = std::array<std::uint8_t, kFrameSize>;

Frame Request(std::uint8_t command) {
    Frame frame{};
    frame[0] = 0x04;
    frame[1] = command;
    return frame;
}

Frame Answer(std::uint8_t command, std::uint8_t status) {
    Frame frame = Request(command);
    frame[7] = status;
    return frame;
}

TEST(ExchangeTraceTest, WritesOneLineOfLowerCaseHexPerFrame) {
    std::ostringstream out;
    ExchangeTrace trace(&out);
    const Frame request = Request(0xAB);
    trace.OnRequest(request);
    trace.OnAnswer(std::nullopt);
    trace.OnRequest(request);
    const Frame answer = Answer(0xAB, 0x01);
    trace.OnAnswer(std::span<const std::uint8_t>(answer));

    std::istringstream lines(out.str());
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.substr(0, 9), "> 04 ab 0");
    EXPECT_EQ(line.size(), 2u + 3u * kFrameSize - 1u);
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "< timeout");
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.substr(0, 2), "> ");
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.substr(0, 23), "< 04 ab 00 00 00 00 00 ");
    EXPECT_EQ(line.substr(22, 3), " 01") << "the status byte";
    EXPECT_FALSE(std::getline(lines, line));
    EXPECT_TRUE(trace.TraceWritten());
    EXPECT_EQ(trace.Failures(), 0u) << "an answer on the second attempt is a success";
}

TEST(ExchangeTraceTest, TellsFailuresApartByTheirStatus) {
    ExchangeTrace trace;
    const Frame refusedFF = Answer(0x08, 0xFF);
    trace.OnRequest(Request(0x08));
    trace.OnAnswer(std::span<const std::uint8_t>(refusedFF));
    EXPECT_EQ(trace.Failures(), 1u);
    EXPECT_EQ(trace.LastFailure(), kStatusRefusedFF);

    const Frame refusedFE = Answer(0x0A, 0xFE);
    trace.OnRequest(Request(0x0A));
    trace.OnAnswer(std::span<const std::uint8_t>(refusedFE));
    EXPECT_EQ(trace.LastFailure(), kStatusRefusedFE);

    // Four unanswered attempts of one request are one failure, counted once the link gives up.
    const Frame request = Request(0x03);
    for (int attempt = 0; attempt < 4; ++attempt) {
        trace.OnRequest(request);
        trace.OnAnswer(std::nullopt);
    }
    EXPECT_EQ(trace.Failures(), 3u);
    EXPECT_EQ(trace.LastFailure(), kStatusNoAnswer);

    // A request that never reached the keyboard gets no answer call at all.
    trace.OnRequest(Request(0x01));
    EXPECT_EQ(trace.Failures(), 4u);
    EXPECT_EQ(trace.LastFailure(), kStatusWriteFailed);
}

TEST(ExchangeTraceTest, AnUnwritableTraceIsReported) {
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    ExchangeTrace trace(&out);
    trace.OnRequest(Request(0x01));
    EXPECT_FALSE(trace.TraceWritten());
}

} // namespace
} // namespace brasslane::cli

#include "core/device/DeviceLink.h"

#include "support/ManualClock.h"
#include "core/device/KeyboardFinder.h"
#include "platform/sim/SimHidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <vector>

namespace brasslane {
namespace {

using Frame = std::array<std::uint8_t, 64>;
using namespace std::chrono_literals;

class FrameRecorder : public FrameObserver {
public:
    void OnRequest(std::span<const std::uint8_t>) override { ++requests; }
    void OnAnswer(std::optional<std::span<const std::uint8_t>> answer) override { answer ? ++answers : ++timeouts; }
    int requests = 0;
    int answers = 0;
    int timeouts = 0;
};

// The keyboard and the link share a clock that jumps over every wait: timeouts and pauses take
// no real time, and how long they took is read off the clock.
class DeviceLinkTest : public ::testing::Test {
protected:
    explicit DeviceLinkTest(sim::SimModel model = sim::SimModel::k7672) : keyboard(model, &clock) {}

    void SetUp() override {
        ASSERT_TRUE(ConnectKeyboard(link, state));
        keyboard.ClearRequestLog();
    }

    std::vector<Frame> Sent() const { return keyboard.RequestLog(); }

    test::ManualClock clock{test::ManualClock::kJumpToDeadline};
    sim::SimKeyboard keyboard;
    sim::SimHidBackend backend{keyboard};
    DeviceLink link{backend, &clock};
    ConnectionState state;
};

class DeviceLink505BTest : public DeviceLinkTest {
protected:
    DeviceLink505BTest() : DeviceLinkTest(sim::SimModel::k505B) {}
};

TEST(FrameChecksum, SumsBytesThreeToSixtyThreeLittleEndian) {
    CommandFrame frame{};
    frame.fill(0xFF);
    SetFrameChecksum(frame);
    // 61 x 0xFF = 0x3CC3; bytes 0..2 are not part of the sum.
    EXPECT_EQ(frame[1], 0xC3);
    EXPECT_EQ(frame[2], 0x3C);
    EXPECT_EQ(frame[0], 0xFF);
}

TEST_F(DeviceLinkTest, FramesOfBeginReadInfoEndAndBootMode) {
    EXPECT_EQ(link.BeginSequence(), kStatusSuccess);
    std::array<std::uint8_t, kDeviceInfoSize> info{};
    EXPECT_EQ(link.ReadDeviceInfo(info), kStatusSuccess);
    EXPECT_EQ(info, keyboard.Info());
    const auto start = clock.Now();
    EXPECT_EQ(link.EndSequence(), kStatusSuccess);
    EXPECT_EQ(clock.Now() - start, 10ms) << "the keyboard is given 10 ms before a sequence ends";
    EXPECT_EQ(link.EnterBootMode(), 1);

    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 4u);
    Frame begin{};
    begin[0] = 4;
    begin[1] = 1;
    begin[3] = 1;
    EXPECT_EQ(sent[0], begin);
    Frame readInfo{};
    readInfo[0] = 4;
    readInfo[1] = 0x2F;
    readInfo[3] = 3;
    readInfo[4] = 0x2C;
    EXPECT_EQ(sent[1], readInfo);
    EXPECT_EQ(sent[2][3], 2);
    Frame boot{};
    boot[0] = 4;
    boot[3] = 0xEE;
    boot[4] = 0xEE;
    EXPECT_EQ(sent[3], boot);
    EXPECT_FALSE(keyboard.IsPlugged()) << "the keyboard leaves for its boot loader";
}

TEST_F(DeviceLinkTest, KeyMapReadOfProfileOneIsSevenChunks) {
    std::vector<std::uint8_t> maps(3 * 378);
    std::iota(maps.begin(), maps.end(), std::uint8_t{0});
    keyboard.SetKeyMaps(maps);

    std::vector<std::uint8_t> block(378);
    ASSERT_EQ(link.ReadKeyMapBlock(1, block), kStatusSuccess);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), maps.begin() + 378));

    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 7u);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sent[i][3], 7);
        EXPECT_EQ(sent[i][4], i < 6 ? 56 : 42);
        EXPECT_EQ(sent[i][5] | sent[i][6] << 8, 378 + 56 * static_cast<int>(i));
    }
}

TEST_F(DeviceLink505BTest, KeyMapWriteOfProfileTwoStartsAt1024) {
    EXPECT_EQ(state.blockSize.load(), 512u);
    EXPECT_EQ(state.keyCount.load(), 128u);
    std::vector<std::uint8_t> block(512);
    std::iota(block.begin(), block.end(), std::uint8_t{7});
    ASSERT_EQ(link.WriteKeyMapBlock(2, block), kStatusSuccess);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 10u);
    EXPECT_EQ(sent.front()[5] | sent.front()[6] << 8, 1024);
    EXPECT_EQ(sent.back()[4], 8);
    const auto maps = keyboard.KeyMaps();
    EXPECT_TRUE(std::equal(block.begin(), block.end(), maps.begin() + 1024));
}

TEST_F(DeviceLinkTest, ChunkedWriteKeepsThePreviousChunkPastAShortLastChunk) {
    std::vector<std::uint8_t> data(60, 0x11);
    std::fill(data.begin() + 56, data.end(), 0x22);
    ASSERT_EQ(link.WriteMacroArea(data), kStatusSuccess);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1][4], 4);
    EXPECT_EQ(sent[1][5], 56);
    for (std::size_t i = 8; i < 64; ++i) {
        EXPECT_EQ(sent[1][i], i < 12 ? 0x22 : 0x11) << i;
    }
    const auto area = keyboard.MacroArea();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), area.begin()));
    EXPECT_EQ(area[60], 0) << "the stale tail is not taken as data";
}

TEST_F(DeviceLinkTest, NothingIsSentForBadBlocksEmptyTransfersOrWhenNotConnected) {
    std::vector<std::uint8_t> block(378, 0xAB);
    EXPECT_EQ(link.ReadKeyMapBlock(3, block), kStatusBadBlock);
    EXPECT_EQ(link.WriteKeyMapBlock(0xFFFFFFFFu, block), kStatusBadBlock);
    EXPECT_EQ(link.ReadMacroArea({}), kStatusSuccess);
    EXPECT_EQ(link.WriteMacroArea({}), kStatusSuccess);
    std::vector<std::uint8_t> tooLong(57);
    EXPECT_EQ(link.WriteLighting(0, tooLong), kStatusWriteFailed);
    EXPECT_EQ(link.WriteKeyColours(0, 0, tooLong), kStatusWriteFailed);
    EXPECT_TRUE(Sent().empty());

    link.SetConnected(false);
    std::array<std::uint8_t, kDeviceInfoSize> info{};
    EXPECT_EQ(link.BeginSequence(), kStatusNoAnswer);
    EXPECT_EQ(link.ReadDeviceInfo(info), kStatusNoAnswer);
    EXPECT_EQ(link.ReadKeyMapBlock(0, block), kStatusNoAnswer);
    EXPECT_EQ(link.EnterBootMode(), 0);
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(keyboard.IsPlugged());
}

TEST_F(DeviceLinkTest, RefusalsLeaveTheCallersBuffer) {
    std::array<std::uint8_t, kDeviceInfoSize> info;
    info.fill(0xAA);
    keyboard.SetFaults({.statusByte = 0xFE, .statusCount = 1});
    EXPECT_EQ(link.ReadDeviceInfo(info), kStatusRefusedFE);
    EXPECT_TRUE(std::all_of(info.begin(), info.end(), [](auto b) { return b == 0xAA; }));
    keyboard.SetFaults({.statusByte = 0xFF, .statusCount = 1});
    EXPECT_EQ(link.TestCommand(), kStatusRefusedFF);

    // A chunked read stops at the refused chunk; the chunks before it are in place.
    keyboard.ClearRequestLog();
    keyboard.SetFaults({.statusByte = 0xFE, .statusCount = 1, .statusAfter = 1});
    std::vector<std::uint8_t> block(378, 0xAA);
    EXPECT_EQ(link.ReadDefaultKeyMap(block), kStatusRefusedFE);
    EXPECT_EQ(Sent().size(), 2u) << "no chunk after the refused one";
    const auto defaults = keyboard.DefaultKeyMap();
    EXPECT_TRUE(std::equal(block.begin(), block.begin() + 56, defaults.begin()));
    EXPECT_TRUE(std::all_of(block.begin() + 56, block.end(), [](auto b) { return b == 0xAA; }));
}

TEST_F(DeviceLinkTest, NoAnswerTakesFourAttemptsAndAFailedWriteOne) {
    FrameRecorder recorder;
    link.SetObserver(&recorder);
    keyboard.SetFaults({.neverAnswer = true});
    const auto start = clock.Now();
    EXPECT_EQ(link.BeginSequence(), kStatusNoAnswer);
    EXPECT_EQ(clock.Now() - start, 4 * 300ms) << "each attempt waits 300 ms for its answer";
    EXPECT_EQ(Sent().size(), 4u);
    EXPECT_EQ(recorder.requests, 4);
    EXPECT_EQ(recorder.timeouts, 4);

    keyboard.ClearRequestLog();
    keyboard.SetFaults({.noAnswer = 2});
    EXPECT_EQ(link.BeginSequence(), kStatusSuccess);
    EXPECT_EQ(Sent().size(), 3u);
    EXPECT_EQ(recorder.answers, 1);

    recorder = FrameRecorder{};
    keyboard.SetFaults({.failWrites = true});
    EXPECT_EQ(link.BeginSequence(), kStatusWriteFailed);
    EXPECT_EQ(recorder.requests, 1) << "a failed write is not retried";
    EXPECT_EQ(recorder.timeouts, 1);
    link.SetObserver(nullptr);
}

TEST_F(DeviceLinkTest, LateAnswerIsNotTakenForTheNextRequest) {
    // The first answer to the key-map read comes after its read gave up; the second attempt
    // gets its own answer. The late one then sits in the queue when the next command goes out.
    keyboard.SetFaults({.lateAnswers = 1, .lateBy = 400ms});
    std::vector<std::uint8_t> keys(56);
    ASSERT_EQ(link.ReadDefaultKeyMap(keys), kStatusSuccess);
    clock.Advance(250ms); // the late answer has come in by now

    std::array<std::uint8_t, kDeviceInfoSize> info{};
    ASSERT_EQ(link.ReadDeviceInfo(info), kStatusSuccess);
    EXPECT_EQ(info, keyboard.Info());
    EXPECT_EQ(info[11], 0x40);
}

TEST_F(DeviceLinkTest, LightingSwapsRedAndGreen) {
    std::array<std::uint8_t, 3> colour = {0xAA, 0xBB, 0xCC};
    ASSERT_EQ(link.WriteLighting(5, colour), kStatusSuccess);
    EXPECT_EQ(colour, (std::array<std::uint8_t, 3>{0xBB, 0xAA, 0xCC})) << "the caller's buffer keeps the exchange";
    std::array<std::uint8_t, 4> run = {1, 2, 3, 4};
    ASSERT_EQ(link.WriteLighting(42 + 5, run), kStatusSuccess);
    EXPECT_EQ(run, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));

    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][4], 3);
    EXPECT_EQ(sent[0][8], 0xBB);
    EXPECT_EQ(sent[0][9], 0xAA);
    EXPECT_EQ(sent[0][10], 0xCC);
    EXPECT_EQ(keyboard.Lighting()[5], 0xBB);

    // Read back: the keyboard's green, red becomes red, green again.
    std::array<std::uint8_t, kFramePayload> block{};
    ASSERT_EQ(link.ReadLighting(0, 56, block), kStatusSuccess);
    EXPECT_EQ(block[5], 0xAA);
    EXPECT_EQ(block[6], 0xBB);
    EXPECT_EQ(block[7], 0xCC);
    EXPECT_EQ(block[0], 1) << "effect of the fresh block";
    ASSERT_EQ(link.ReadLighting(84, 56, block), kStatusSuccess);
    EXPECT_EQ(block[55], 0) << "past the lighting area";
}

TEST_F(DeviceLinkTest, KeyColourAddressCarriesTheProfile) {
    const std::array<std::uint8_t, 3> colour = {1, 2, 3};
    ASSERT_EQ(link.WriteKeyColours(2, 100, colour), kStatusSuccess);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][5], 0x2C);
    EXPECT_EQ(sent[0][6], 0x05);
    EXPECT_EQ(keyboard.KeyColours()[1324], 1);
}

TEST_F(DeviceLinkTest, SendCommandPadsShortRequests) {
    CommandFrame frame{};
    frame[0] = 4;
    frame[3] = 13;
    SetFrameChecksum(frame);
    ResponseFrame answer;
    answer.fill(0x55);
    std::uint32_t bytes = 99;
    ASSERT_EQ(link.SendCommand(std::span(frame).first(8), answer, &bytes), kStatusSuccess);
    EXPECT_EQ(bytes, 64u);
    EXPECT_EQ(answer[7], 0) << "accepted";
    EXPECT_EQ(Sent().at(0), frame);
}

} // namespace
} // namespace brasslane

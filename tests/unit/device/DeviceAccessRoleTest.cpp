#include "core/device/DeviceAccessRole.h"

#include "platform/sim/SimHidBackend.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace brasslane {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> Bytes(std::span<const std::uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

TEST(DeviceAccessRoleTest, KeyboardInterfacesGetTheirRolesAndTheKeystrokeInterfaceNone) {
    EXPECT_EQ(AccessRoleOf(sim::SimHidBackend::CommandDescriptor()), AccessRole::kCommand);
    EXPECT_EQ(AccessRoleOf(sim::SimHidBackend::ConsumerDescriptor()), AccessRole::kConsumer);
    EXPECT_EQ(AccessRoleOf(sim::SimHidBackend::BootKeyboardDescriptor()), AccessRole::kNone);
    EXPECT_EQ(AccessRoleName(AccessRole::kCommand), "command");
    EXPECT_EQ(AccessRoleName(AccessRole::kConsumer), "consumer");
    EXPECT_EQ(AccessRoleName(AccessRole::kNone), "none");
}

// Real devices: only consumer-control collections qualify; keyboards, mice, receivers' vendor
// collections and the rest do not.
TEST(DeviceAccessRoleTest, RealDescriptorsOnlyConsumerControlQualifies) {
    int consumer = 0;
    int keyboards = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(BRASSLANE_TEST_DATA) / "hid-descriptors")) {
        if (entry.path().extension() != ".bin") {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> descriptor{std::istreambuf_iterator<char>(in), {}};
        // VID_PID_USAGE_USAGEPAGE.bin
        const std::string name = entry.path().stem().string();
        const std::string usage = name.substr(10, 4);
        const std::string page = name.substr(15, 4);
        const AccessRole expected = page == "000C" && usage == "0001" ? AccessRole::kConsumer : AccessRole::kNone;
        EXPECT_EQ(AccessRoleOf(descriptor), expected) << name;
        consumer += expected == AccessRole::kConsumer ? 1 : 0;
        keyboards += page == "0001" && usage == "0006" ? 1 : 0;
    }
    EXPECT_GE(consumer, 3) << "the corpus has consumer-control interfaces";
    EXPECT_GE(keyboards, 3) << "the corpus has keyboards";
}

TEST(DeviceAccessRoleTest, ANodeThatAlsoCarriesKeystrokesGetsNoAccess) {
    const auto consumer = Bytes(sim::SimHidBackend::ConsumerDescriptor());
    const auto command = Bytes(sim::SimHidBackend::CommandDescriptor());
    const auto keyboard = Bytes(sim::SimHidBackend::BootKeyboardDescriptor());

    // Two collections on one node: the command collection wins over consumer control.
    auto both = command;
    both.insert(both.end(), consumer.begin(), consumer.end());
    EXPECT_EQ(AccessRoleOf(both), AccessRole::kCommand);

    // A keyboard collection beside consumer control (a common second interface for N-key
    // rollover) would hand out keystrokes.
    auto withKeyboard = consumer;
    withKeyboard.insert(withKeyboard.end(), keyboard.begin(), keyboard.end());
    EXPECT_EQ(AccessRoleOf(withKeyboard), AccessRole::kNone);

    // Key usages inside a consumer-control collection count as keystrokes too.
    const std::vector<std::uint8_t> keysInConsumer = {
        0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,                         // Consumer Control application collection
        0x05, 0x07, 0x19, 0x00, 0x29, 0x65,                         // Usage Page (Keyboard/Keypad), usages 0..0x65
        0x15, 0x00, 0x25, 0x65, 0x75, 0x08, 0x95, 0x06, 0x81, 0x00, // six key codes
        0xC0,
    };
    EXPECT_EQ(AccessRoleOf(keysInConsumer), AccessRole::kNone);

    // Malformed: cut in the middle of an item, or nothing at all.
    EXPECT_EQ(AccessRoleOf(std::span(command).first(command.size() - 3)), AccessRole::kNone);
    EXPECT_EQ(AccessRoleOf({}), AccessRole::kNone);
}

} // namespace
} // namespace brasslane

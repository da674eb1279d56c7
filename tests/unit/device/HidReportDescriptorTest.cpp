#include "core/device/HidReportDescriptor.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace brasslane {
namespace {

using test::Hex;

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint16_t> Usages(const HidReportDescriptor& d, std::uint16_t page,
                                  const std::vector<std::uint8_t>& report, std::uint32_t* status = nullptr) {
    std::vector<std::uint16_t> list(d.MaxUsageListLength(HidReportType::kInput, page));
    std::uint32_t length = 0;
    const std::uint32_t result = d.GetUsages(HidReportType::kInput, page, list, length, report);
    if (status) {
        *status = result;
    }
    list.resize(std::min<std::size_t>(length, list.size()));
    return list;
}

// HID 1.11 Appendix B.1: the boot keyboard.
const char* kBootKeyboard = "05 01 09 06 A1 01 05 07 19 E0 29 E7 15 00 25 01 75 01 95 08 81 02 95 01 75 08 81 01"
                            "95 05 75 01 05 08 19 01 29 05 91 02 95 01 75 03 91 01"
                            "95 06 75 08 15 00 25 65 05 07 19 00 29 65 81 00 C0";
// Consumer control: report 3, an array of two 16-bit consumer usages.
const char* kConsumer = "05 0C 09 01 A1 01 85 03 15 00 26 FF 03 19 00 2A FF 03 75 10 95 02 81 00 C0";
// The command interface's shape: vendor page 0xFF1C usage 0x92, 64-byte reports with id 4.
const char* kVendor = "06 1C FF 09 92 A1 01 85 04 09 01 15 00 26 FF 00 75 08 95 3F 81 02"
                      "09 02 95 3F 91 02 C0";
// Report 1: buttons 1-5, padding, signed X and Y. Report 2: vendor values 5..7.
const char* kRanges = "05 01 09 02 A1 01 85 01 05 09 19 01 29 05 15 00 25 01 75 01 95 05 81 02"
                      "75 03 95 01 81 03 05 01 09 30 09 31 15 81 25 7F 75 08 95 02 81 06"
                      "85 02 06 00 FF 19 05 29 07 15 00 26 FF 00 75 08 95 03 81 02 C0";

TEST(HidReportDescriptorTest, RealDescriptorsParseWithTheirTopLevelUsage) {
    const std::filesystem::path folder = std::filesystem::path(BRASSLANE_TEST_DATA) / "hid-descriptors";
    int count = 0;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        if (file.path().extension() != ".bin") {
            continue;
        }
        ++count;
        const std::string name = file.path().stem().string(); // VID_PID_USAGE_PAGE
        SCOPED_TRACE(name);
        const auto expectedUsage = static_cast<std::uint16_t>(std::stoul(name.substr(10, 4), nullptr, 16));
        const auto expectedPage = static_cast<std::uint16_t>(std::stoul(name.substr(15, 4), nullptr, 16));
        HidReportDescriptor d;
        std::string error;
        ASSERT_TRUE(d.Parse(ReadFile(file.path()), &error)) << error;
        EXPECT_EQ(d.Usage(), expectedUsage);
        EXPECT_EQ(d.UsagePage(), expectedPage);
        EXPECT_GT(d.ReportByteLength(HidReportType::kInput) + d.ReportByteLength(HidReportType::kOutput) +
                      d.ReportByteLength(HidReportType::kFeature),
                  0);
    }
    EXPECT_EQ(count, 25);
}

TEST(HidReportDescriptorTest, RealDescriptorLengthsAndCaps) {
    const std::filesystem::path folder = std::filesystem::path(BRASSLANE_TEST_DATA) / "hid-descriptors";
    // What the Windows HID parser reports for these devices: top-level usage, report byte lengths
    // (id byte included) and the number of button and value capabilities of each report kind.
    struct Case {
        const char* file;
        bool ids;
        std::uint16_t page, usage;
        std::uint16_t input, output, feature;
        std::size_t inputButtons, inputValues, outputButtons, outputValues, featureButtons, featureValues;
    };
    const Case cases[] = {
        {"045E_02FF_0005_0001.bin", false, 0x0001, 0x0005, 16, 0, 0, 1, 6, 0, 0, 0, 0},
        // No report ids: the id byte is still counted.
        {"046A_0011_0006_0001.bin", false, 0x0001, 0x0006, 9, 2, 0, 2, 0, 1, 0, 0, 0},
        {"046D_0A37_0001_000C.bin", true, 0x000C, 0x0001, 33, 37, 0, 5, 2, 1, 2, 0, 0},
        {"046D_B010_0001_000C.bin", true, 0x000C, 0x0001, 2, 0, 0, 0, 1, 0, 0, 0, 0},
        {"046D_B010_0001_FF00.bin", true, 0xFF00, 0x0001, 7, 7, 0, 1, 0, 1, 0, 0, 0},
        {"046D_B010_0002_0001.bin", true, 0x0001, 0x0002, 7, 0, 0, 1, 4, 0, 0, 0, 0},
        {"046D_B010_0002_FF00.bin", true, 0xFF00, 0x0002, 20, 20, 0, 1, 0, 1, 0, 0, 0},
        {"046D_B010_0006_0001.bin", true, 0x0001, 0x0006, 9, 2, 0, 2, 0, 1, 0, 0, 0},
        {"046D_C077_0002_0001.bin", false, 0x0001, 0x0002, 5, 0, 0, 1, 3, 0, 0, 0, 0},
        {"046D_C283_0004_0001.bin", false, 0x0001, 0x0004, 8, 9, 0, 1, 7, 0, 1, 0, 0},
        {"046D_C52F_0001_000C.bin", true, 0x000C, 0x0001, 5, 0, 0, 1, 0, 0, 0, 0, 0},
        // An 8-bit array of one usage is a button capability.
        {"046D_C52F_0001_FF00.bin", true, 0xFF00, 0x0001, 7, 7, 0, 1, 0, 1, 0, 0, 0},
        {"046D_C52F_0002_0001.bin", false, 0x0001, 0x0002, 9, 0, 0, 1, 4, 0, 0, 0, 0},
        {"046D_C52F_0002_FF00.bin", true, 0xFF00, 0x0002, 20, 20, 0, 1, 0, 1, 0, 0, 0},
        {"046D_C534_0001_000C.bin", true, 0x000C, 0x0001, 5, 0, 0, 1, 0, 0, 0, 0, 0},
        {"046D_C534_0001_FF00.bin", true, 0xFF00, 0x0001, 7, 7, 0, 1, 0, 1, 0, 0, 0},
        {"046D_C534_0002_0001.bin", true, 0x0001, 0x0002, 8, 0, 0, 1, 4, 0, 0, 0, 0},
        {"046D_C534_0002_FF00.bin", true, 0xFF00, 0x0002, 20, 20, 0, 1, 0, 1, 0, 0, 0},
        {"046D_C534_0006_0001.bin", false, 0x0001, 0x0006, 9, 2, 0, 2, 0, 1, 0, 0, 0},
        // An array of three single usages: one capability each.
        {"046D_C534_0080_0001.bin", true, 0x0001, 0x0080, 2, 0, 0, 3, 0, 0, 0, 0, 0},
        {"047F_C056_0001_000C.bin", true, 0x000C, 0x0001, 33, 37, 0, 3, 2, 0, 2, 0, 0},
        // A constant feature bit that names a usage (0xDE) is a capability; padding is not.
        {"047F_C056_0003_FFA0.bin", true, 0xFFA0, 0x0003, 33, 33, 3, 6, 2, 7, 1, 10, 0},
        {"047F_C056_0005_000B.bin", true, 0x000B, 0x0005, 2, 2, 0, 3, 0, 6, 0, 0, 0},
        {"1532_00A3_0002_0001.bin", false, 0x0001, 0x0002, 9, 0, 91, 1, 4, 0, 0, 0, 0},
        // Every Usage item written is a capability of its own: 56 one-bit buttons, 4 + 26 values.
        {"17CC_1130_0000_FF01.bin", true, 0xFF01, 0x0000, 53, 95, 33, 56, 30, 0, 134, 0, 11},
    };
    std::set<std::string> listed;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        listed.insert(c.file);
        HidReportDescriptor d;
        ASSERT_TRUE(d.Parse(ReadFile(folder / c.file)));
        EXPECT_EQ(d.UsesReportIds(), c.ids);
        EXPECT_EQ(d.UsagePage(), c.page);
        EXPECT_EQ(d.Usage(), c.usage);
        EXPECT_EQ(d.ReportByteLength(HidReportType::kInput), c.input);
        EXPECT_EQ(d.ReportByteLength(HidReportType::kOutput), c.output);
        EXPECT_EQ(d.ReportByteLength(HidReportType::kFeature), c.feature);
        EXPECT_EQ(d.ButtonCaps(HidReportType::kInput).size(), c.inputButtons);
        EXPECT_EQ(d.ValueCaps(HidReportType::kInput).size(), c.inputValues);
        EXPECT_EQ(d.ButtonCaps(HidReportType::kOutput).size(), c.outputButtons);
        EXPECT_EQ(d.ValueCaps(HidReportType::kOutput).size(), c.outputValues);
        EXPECT_EQ(d.ButtonCaps(HidReportType::kFeature).size(), c.featureButtons);
        EXPECT_EQ(d.ValueCaps(HidReportType::kFeature).size(), c.featureValues);
    }
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        if (file.path().extension() == ".bin") {
            EXPECT_TRUE(listed.count(file.path().filename().string())) << file.path().filename() << " has no row";
        }
    }

    // The constant bit keeps its place in report 0x1B between the two data items around it.
    HidReportDescriptor vendor;
    ASSERT_TRUE(vendor.Parse(ReadFile(folder / "047F_C056_0003_FFA0.bin")));
    const auto& features = vendor.ButtonCaps(HidReportType::kFeature);
    ASSERT_EQ(features.size(), 10u);
    EXPECT_EQ(features[2].usage, 0xDE);
    EXPECT_EQ(features[2].reportId, 0x1B);
    EXPECT_EQ(features[2].bitField & 0x01u, 0x01u) << "constant";
    EXPECT_EQ(features[3].usage, 0xD8);

    // System control: a 2-bit array indexed from Logical Minimum 1 over usages 0x82, 0x81, 0x83.
    HidReportDescriptor system;
    ASSERT_TRUE(system.Parse(ReadFile(folder / "046D_C534_0080_0001.bin")));
    EXPECT_EQ(Usages(system, 0x01, {0x04, 0x02}), (std::vector<std::uint16_t>{0x81}));
    EXPECT_EQ(Usages(system, 0x01, {0x04, 0x03}), (std::vector<std::uint16_t>{0x83}));
    EXPECT_TRUE(Usages(system, 0x01, {0x04, 0x00}).empty());
}

TEST(HidReportDescriptorTest, BootKeyboard) {
    HidReportDescriptor d;
    std::string error;
    ASSERT_TRUE(d.Parse(Hex(kBootKeyboard), &error)) << error;
    EXPECT_EQ(d.UsagePage(), 0x01);
    EXPECT_EQ(d.Usage(), 0x06);
    EXPECT_FALSE(d.UsesReportIds());
    EXPECT_EQ(d.ReportByteLength(HidReportType::kInput), 9);
    EXPECT_EQ(d.ReportByteLength(HidReportType::kOutput), 2);
    EXPECT_EQ(d.ReportByteLength(HidReportType::kFeature), 0);

    const auto& buttons = d.ButtonCaps(HidReportType::kInput);
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_TRUE(buttons[0].isRange && !buttons[0].isArray);
    EXPECT_EQ(buttons[0].usageMinimum, 0xE0);
    EXPECT_EQ(buttons[0].usageMaximum, 0xE7);
    EXPECT_TRUE(buttons[1].isArray);
    EXPECT_EQ(d.MaxUsageListLength(HidReportType::kInput, 0x07), 8u + 6u);
    EXPECT_EQ(d.MaxUsageListLength(HidReportType::kOutput, 0x08), 5u);

    // Left Shift and Right GUI held, keys A and B pressed; an index of 0 is "no key".
    std::uint32_t status = 0;
    EXPECT_EQ(Usages(d, 0x07, {0x00, 0x82, 0x00, 0x04, 0x00, 0x05, 0, 0, 0}, &status),
              (std::vector<std::uint16_t>{0xE1, 0xE7, 0x04, 0x05}));
    EXPECT_EQ(status, kHidpStatusSuccess);
    // An index past Logical Maximum names no key.
    EXPECT_TRUE(Usages(d, 0x07, {0x00, 0x00, 0x00, 0x66, 0xFF, 0, 0, 0, 0}).empty());
    // The usage list is too small for four usages: the first ones are kept.
    std::vector<std::uint16_t> small(2);
    std::uint32_t length = 0;
    const std::vector<std::uint8_t> report{0x00, 0x82, 0x00, 0x04, 0x05, 0, 0, 0, 0};
    EXPECT_EQ(d.GetUsages(HidReportType::kInput, 0x07, small, length, report), kHidpStatusBufferTooSmall);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(small, (std::vector<std::uint16_t>{0xE1, 0xE7}));
    // A report cut short before the key array is refused, not read past.
    EXPECT_EQ(d.GetUsages(HidReportType::kInput, 0x07, small, length, std::vector<std::uint8_t>{0x00, 0x82}),
              kHidpStatusInvalidReportLength);
    EXPECT_EQ(d.GetUsages(HidReportType::kInput, 0x09, small, length, report), kHidpStatusUsageNotFound);
}

TEST(HidReportDescriptorTest, ConsumerArrayAndVendorReports) {
    HidReportDescriptor consumer;
    ASSERT_TRUE(consumer.Parse(Hex(kConsumer)));
    EXPECT_EQ(consumer.UsagePage(), 0x0C);
    EXPECT_EQ(consumer.Usage(), 0x01);
    EXPECT_TRUE(consumer.UsesReportIds());
    EXPECT_EQ(consumer.ReportByteLength(HidReportType::kInput, 3), 5);
    EXPECT_EQ(consumer.ReportByteLength(HidReportType::kInput, 1), 0);
    ASSERT_EQ(consumer.ButtonCaps(HidReportType::kInput).size(), 1u);
    const HidButtonCaps& array = consumer.ButtonCaps(HidReportType::kInput)[0];
    EXPECT_TRUE(array.isArray && array.isRange);
    EXPECT_EQ(array.reportId, 3);
    EXPECT_EQ(array.usageMaximum, 0x3FF);
    EXPECT_EQ(consumer.MaxUsageListLength(HidReportType::kInput, 0x0C), 2u);
    EXPECT_EQ(Usages(consumer, 0x0C, {0x03, 0xE9, 0x00, 0x24, 0x02}), (std::vector<std::uint16_t>{0x00E9, 0x0224}));
    // Index 0 is "no control"; 0x1811 lies past Logical Maximum 0x3FF.
    EXPECT_TRUE(Usages(consumer, 0x0C, {0x03, 0x00, 0x00, 0x11, 0x18}).empty());
    std::uint32_t status = 0;
    EXPECT_TRUE(Usages(consumer, 0x0C, {0x01, 0xE9, 0x00, 0x00, 0x00}, &status).empty());
    EXPECT_EQ(status, kHidpStatusIncompatibleReportId);

    HidReportDescriptor vendor;
    ASSERT_TRUE(vendor.Parse(Hex(kVendor)));
    EXPECT_EQ(vendor.UsagePage(), 0xFF1C);
    EXPECT_EQ(vendor.Usage(), 0x92);
    EXPECT_EQ(vendor.ReportByteLength(HidReportType::kInput), 64);
    EXPECT_EQ(vendor.ReportByteLength(HidReportType::kOutput), 64);
    ASSERT_EQ(vendor.ValueCaps(HidReportType::kInput).size(), 1u);
    EXPECT_EQ(vendor.ValueCaps(HidReportType::kInput)[0].reportCount, 63u);
    EXPECT_EQ(vendor.ValueCaps(HidReportType::kOutput)[0].usage, 0x02);

    // Two report ids; signed X and Y; a value range with one field per usage.
    HidReportDescriptor d;
    ASSERT_TRUE(d.Parse(Hex(kRanges)));
    const auto& values = d.ValueCaps(HidReportType::kInput);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].logicalMinimum, -127);
    EXPECT_FALSE(values[0].isAbsolute);
    EXPECT_TRUE(values[2].isRange);
    EXPECT_EQ(values[2].reportId, 2);
    const std::vector<std::uint8_t> move{0x01, 0x15, 0xFE, 0x03}; // buttons 1, 3, 5; X = -2; Y = 3
    EXPECT_EQ(Usages(d, 0x09, move), (std::vector<std::uint16_t>{1, 3, 5}));
    std::uint32_t raw = 0;
    std::int32_t scaled = 0;
    EXPECT_EQ(d.GetUsageValue(HidReportType::kInput, 0x01, 0x30, raw, move), kHidpStatusSuccess);
    EXPECT_EQ(raw, 0xFEu) << "raw values are not sign-extended";
    EXPECT_EQ(d.GetScaledUsageValue(HidReportType::kInput, 0x01, 0x30, scaled, move), kHidpStatusSuccess);
    EXPECT_EQ(scaled, -2);
    const std::vector<std::uint8_t> vendorReport{0x02, 0x10, 0x20, 0x30};
    for (std::uint16_t usage = 5; usage <= 7; ++usage) {
        EXPECT_EQ(d.GetUsageValue(HidReportType::kInput, 0xFF00, usage, raw, vendorReport), kHidpStatusSuccess);
        EXPECT_EQ(raw, 0x10u * (usage - 4));
    }
    EXPECT_EQ(d.GetUsageValue(HidReportType::kInput, 0xFF00, 8, raw, vendorReport), kHidpStatusUsageNotFound);
    EXPECT_EQ(d.GetUsageValue(HidReportType::kInput, 0x01, 0x30, raw, vendorReport), kHidpStatusIncompatibleReportId);
    EXPECT_EQ(d.GetUsageValue(HidReportType::kInput, 0xFF00, 7, raw, std::vector<std::uint8_t>{0x02, 0x10, 0x20}),
              kHidpStatusInvalidReportLength);
}

TEST(HidReportDescriptorTest, ScaledValues) {
    // Value 0..100 shown as 0..1000; a hat switch 1..8 over 0..315 degrees with a null state;
    // a value without physical range; one with an empty logical range.
    HidReportDescriptor d;
    std::string error;
    ASSERT_TRUE(d.Parse(Hex("05 01 09 04 A1 01 09 30 15 00 25 64 35 00 46 E8 03 75 08 95 01 81 02"
                            "09 39 15 01 25 08 35 00 46 3B 01 75 08 95 01 81 42"
                            "09 31 15 F6 25 0A 35 00 45 00 75 08 95 01 81 02"
                            "09 32 15 05 25 05 75 08 95 01 81 02 C0"),
                        &error))
        << error;
    std::int32_t scaled = 0;
    auto scale = [&](std::uint16_t usage, std::vector<std::uint8_t> report) {
        return d.GetScaledUsageValue(HidReportType::kInput, 0x01, usage, scaled, report);
    };
    EXPECT_EQ(scale(0x30, {0, 50, 1, 0, 5}), kHidpStatusSuccess);
    EXPECT_EQ(scaled, 500);
    EXPECT_EQ(scale(0x39, {0, 0, 3, 0, 5}), kHidpStatusSuccess);
    EXPECT_EQ(scaled, 90);
    EXPECT_EQ(scale(0x39, {0, 0, 0, 0, 5}), kHidpStatusNull);
    EXPECT_EQ(scale(0x30, {0, 101, 1, 0, 5}), kHidpStatusValueOutOfRange);
    EXPECT_EQ(scale(0x31, {0, 0, 1, 0xFB, 5}), kHidpStatusSuccess);
    EXPECT_EQ(scaled, -5);
    EXPECT_EQ(scale(0x32, {0, 0, 1, 0, 5}), kHidpStatusBadLogPhyValues);
}

TEST(HidReportDescriptorTest, ItemSemantics) {
    struct Case {
        const char* name;
        const char* hex;
        std::uint16_t page, usage, inputLength;
        std::vector<std::uint16_t> pressed; // page 9 buttons for report {id, 0xFF, 0xFF, ...}
    };
    const Case cases[] = {
        // Push saves Report Size 1 and Pop restores it after a wider field.
        {"push/pop",
         "05 09 09 01 A1 01 15 00 25 01 75 01 95 08 A4 75 08 95 01 81 03 B4 19 01 29 08 81 02 C0",
         9,
         1,
         3,
         {1, 2, 3, 4, 5, 6, 7, 8}},
        // A four-byte usage names its own page.
        {"extended usage",
         "0B 02 00 0C 00 A1 01 05 09 19 01 29 02 15 00 25 01 75 01 95 02 81 02 75 06 95 01 81 01 C0",
         0x0C,
         0x02,
         2,
         {1, 2}},
        // Fields past the usages repeat the last one; it is reported once.
        {"repeated last usage",
         "05 09 09 01 A1 01 09 04 09 05 15 00 25 01 75 01 95 04 81 02 75 04 95 01 81 01 C0",
         9,
         1,
         2,
         {4, 5}},
        // Usages past the fields name nothing.
        {"usages past fields",
         "05 09 09 01 A1 01 19 01 29 10 15 00 25 01 75 01 95 03 81 02 75 05 95 01 81 01 C0",
         9,
         1,
         2,
         {1, 2, 3}},
        // Only the first usage of a delimited set counts.
        {"delimiter",
         "05 09 09 01 A1 01 A9 01 09 03 09 07 A9 00 09 04 15 00 25 01 75 01 95 02 81 02 75 06 95 01 81 01 C0",
         9,
         1,
         2,
         {3, 4}},
        // Usage Maximum given before Usage Minimum.
        {"max before min",
         "05 09 09 01 A1 01 29 03 19 01 15 00 25 01 75 01 95 03 81 02 75 05 95 01 81 01 C0",
         9,
         1,
         2,
         {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HidReportDescriptor d;
        std::string error;
        ASSERT_TRUE(d.Parse(Hex(c.hex), &error)) << error;
        EXPECT_EQ(d.UsagePage(), c.page);
        EXPECT_EQ(d.Usage(), c.usage);
        EXPECT_EQ(d.ReportByteLength(HidReportType::kInput), c.inputLength);
        std::vector<std::uint8_t> report(c.inputLength, 0xFF);
        report[0] = 0;
        EXPECT_EQ(Usages(d, 9, report), c.pressed);
    }
}

TEST(HidReportDescriptorTest, SplitsTopLevelCollections) {
    // Consumer control (report 3) and the command collection (report 4) on one node; the
    // second collection relies on Logical Minimum set inside the first.
    const auto combined = Hex(std::string(kConsumer) + "06 1C FF 09 92 A1 01 85 04 09 01 26 FF 00 75 08 95 3F 81 02"
                                                       "09 02 91 02 C0");
    HidReportDescriptor whole;
    ASSERT_TRUE(whole.Parse(combined));
    EXPECT_EQ(whole.UsagePage(), 0x0C);
    ASSERT_EQ(whole.TopLevelCollections().size(), 2u);
    EXPECT_EQ(whole.TopLevelCollections()[1].usagePage, 0xFF1C);

    std::vector<std::vector<std::uint8_t>> parts;
    std::string error;
    ASSERT_TRUE(HidReportDescriptor::SplitTopLevelCollections(combined, parts, &error)) << error;
    ASSERT_EQ(parts.size(), 2u);
    HidReportDescriptor consumer;
    HidReportDescriptor vendor;
    ASSERT_TRUE(consumer.Parse(parts[0], &error)) << error;
    ASSERT_TRUE(vendor.Parse(parts[1], &error)) << error;
    EXPECT_EQ(consumer.UsagePage(), 0x0C);
    EXPECT_EQ(consumer.ReportByteLength(HidReportType::kInput), 5);
    EXPECT_EQ(consumer.ReportByteLength(HidReportType::kOutput), 0);
    EXPECT_EQ(vendor.UsagePage(), 0xFF1C);
    EXPECT_EQ(vendor.Usage(), 0x92);
    EXPECT_EQ(vendor.ReportByteLength(HidReportType::kInput), 64);
    EXPECT_EQ(vendor.ReportByteLength(HidReportType::kInput, 3), 0);
    EXPECT_EQ(vendor.ValueCaps(HidReportType::kInput)[0].logicalMinimum, 0);

    EXPECT_FALSE(HidReportDescriptor::SplitTopLevelCollections(Hex("05 01 C0"), parts, &error));
    EXPECT_TRUE(parts.empty());
    std::string many;
    for (std::size_t i = 0; i <= HidReportDescriptor::kMaxTopLevelCollections; ++i) {
        many += "09 01 A1 01 C0 ";
    }
    EXPECT_FALSE(HidReportDescriptor::SplitTopLevelCollections(Hex(many), parts, &error));
    EXPECT_NE(error.find("top-level collections"), std::string::npos) << error;
}

TEST(HidReportDescriptorTest, MalformedDescriptorsAreRefused) {
    struct Case {
        const char* name;
        const char* hex;
        const char* errorPart;
    };
    const Case cases[] = {
        {"empty", "", "empty"},
        {"truncated item", "05 01 09 02 A1 01 26 FF", "truncated"},
        {"truncated four-byte item", "05 01 09 02 A1 01 27 FF FF", "truncated"},
        {"long item", "05 01 09 02 A1 01 FE 02 00 AA BB C0", "long item"},
        {"reserved type", "05 01 09 02 A1 01 0C C0", "reserved"},
        {"pop without push", "05 01 09 02 A1 01 B4 C0", "Pop without Push"},
        {"report size 0", "05 01 09 02 A1 01 09 30 75 00 95 01 81 02 C0", "Report Size 0"},
        {"report size 33", "05 01 09 02 A1 01 09 30 75 21 95 01 81 02 C0", "Report Size 33"},
        {"report too long", "05 01 09 02 A1 01 09 30 75 20 96 FF FF 81 02 C0", "longer than"},
        {"report too long in steps", "05 01 09 02 A1 01 09 30 75 20 96 00 08 81 02 81 02 81 02 81 02 81 02 C0",
         "longer than"},
        {"usage max below min", "05 09 09 01 A1 01 19 10 29 05 75 01 95 01 81 02 C0", "below Usage Minimum"},
        {"range over two pages", "05 09 09 01 A1 01 1B 01 00 09 00 2B 05 00 0C 00 75 01 95 01 81 02 C0",
         "different usage pages"},
        {"end collection without collection", "05 01 09 02 C0", "without Collection"},
        {"collection not closed", "05 01 09 02 A1 01 A1 00 C0", "not closed"},
        {"report id 0", "05 01 09 02 A1 01 85 00 C0", "Report ID 0"},
        {"report id 256", "05 01 09 02 A1 01 86 00 01 C0", "Report ID 256"},
        {"no application collection", "05 01 09 02 A1 00 C0", "no top-level application"},
        {"item before first report id", "05 01 09 02 A1 01 09 30 75 08 95 01 81 02 85 01 09 31 81 02 C0",
         "before the first Report ID"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HidReportDescriptor d;
        std::string error;
        EXPECT_FALSE(d.Parse(Hex(c.hex), &error));
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
        EXPECT_FALSE(d.IsValid());
        EXPECT_EQ(d.ReportByteLength(HidReportType::kInput), 0);
        EXPECT_TRUE(d.ButtonCaps(HidReportType::kInput).empty());
    }

    // Nesting limits.
    std::string deepPush = "05 01 09 02 A1 01";
    std::string deepCollection = "05 01 09 02 A1 01";
    for (std::size_t i = 0; i <= HidReportDescriptor::kMaxPushDepth; ++i) {
        deepPush += " A4";
    }
    for (std::size_t i = 0; i < HidReportDescriptor::kMaxCollectionDepth; ++i) {
        deepCollection += " A1 00";
    }
    HidReportDescriptor d;
    std::string error;
    EXPECT_FALSE(d.Parse(Hex(deepPush), &error));
    EXPECT_NE(error.find("Push nested"), std::string::npos) << error;
    EXPECT_FALSE(d.Parse(Hex(deepCollection), &error));
    EXPECT_NE(error.find("collections nested"), std::string::npos) << error;

    // A failed parse clears what an earlier one found.
    ASSERT_TRUE(d.Parse(Hex(kConsumer)));
    EXPECT_FALSE(d.Parse(Hex("05 01"), &error));
    EXPECT_EQ(d.UsagePage(), 0);
    EXPECT_EQ(d.MaxUsageListLength(HidReportType::kInput, 0x0C), 0u);
}

// Every cut and every byte flip of the real descriptors either parses or fails cleanly, and
// decoding reports of any length through what parsed stays inside the report (the sanitizer
// build checks the "inside").
TEST(HidReportDescriptorTest, DamagedDescriptorsAndReportsAreHandledSafely) {
    const std::filesystem::path folder = std::filesystem::path(BRASSLANE_TEST_DATA) / "hid-descriptors";
    std::mt19937 random(1234);
    int parsed = 0;
    int refused = 0;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        if (file.path().extension() != ".bin") {
            continue;
        }
        const std::vector<std::uint8_t> original = ReadFile(file.path());
        std::vector<std::vector<std::uint8_t>> variants;
        for (std::size_t cut = 0; cut < original.size(); ++cut) {
            variants.emplace_back(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(cut));
        }
        for (int flip = 0; flip < 40; ++flip) {
            auto damaged = original;
            damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
            variants.push_back(std::move(damaged));
        }
        for (const auto& variant : variants) {
            HidReportDescriptor d;
            std::string error;
            if (!d.Parse(variant, &error)) {
                EXPECT_FALSE(error.empty());
                ++refused;
                continue;
            }
            ++parsed;
            const std::size_t longest = d.ReportByteLength(HidReportType::kInput);
            for (const HidButtonCaps& caps : d.ButtonCaps(HidReportType::kInput)) {
                for (std::size_t length : {std::size_t{1}, longest / 2, longest}) {
                    std::vector<std::uint8_t> report(length);
                    for (auto& byte : report) {
                        byte = static_cast<std::uint8_t>(random());
                    }
                    report[0] = caps.reportId;
                    std::vector<std::uint16_t> list(d.MaxUsageListLength(HidReportType::kInput, caps.usagePage));
                    std::uint32_t count = 0;
                    d.GetUsages(HidReportType::kInput, caps.usagePage, list, count, report);
                }
            }
            for (const HidValueCaps& caps : d.ValueCaps(HidReportType::kInput)) {
                std::vector<std::uint8_t> report(longest > 1 ? longest - 1 : 1, 0xA5);
                report[0] = caps.reportId;
                std::uint32_t raw = 0;
                std::int32_t scaled = 0;
                d.GetUsageValue(HidReportType::kInput, caps.usagePage, caps.usageMaximum, raw, report);
                d.GetScaledUsageValue(HidReportType::kInput, caps.usagePage, caps.usageMaximum, scaled, report);
            }
        }
    }
    EXPECT_GT(parsed, 0);
    EXPECT_GT(refused, 0);
}

} // namespace
} // namespace brasslane

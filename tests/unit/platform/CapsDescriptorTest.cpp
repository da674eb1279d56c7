// The descriptor the Windows backend writes from an interface's parsed capabilities must give
// the core's parser the same capabilities, report lengths and decoded reports as the
// interface's own descriptor.

#include "platform/windows/CapsDescriptor.h"

#include "platform/sim/SimHidBackend.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

namespace brasslane {
namespace {

constexpr std::array<HidReportType, 3> kKinds{HidReportType::kInput, HidReportType::kOutput, HidReportType::kFeature};

// What Windows would hand out for a parsed descriptor.
InterfaceCaps CapsOf(const HidReportDescriptor& d) {
    InterfaceCaps caps;
    caps.usagePage = d.UsagePage();
    caps.usage = d.Usage();
    for (std::size_t kind = 0; kind < 3; ++kind) {
        caps.reportByteLength[kind] = d.ReportByteLength(kKinds[kind]);
        caps.buttons[kind] = d.ButtonCaps(kKinds[kind]);
        caps.values[kind] = d.ValueCaps(kKinds[kind]);
    }
    return caps;
}

void ExpectSameCaps(const HidReportDescriptor& a, const HidReportDescriptor& b) {
    EXPECT_EQ(a.UsagePage(), b.UsagePage());
    EXPECT_EQ(a.Usage(), b.Usage());
    EXPECT_EQ(a.UsesReportIds(), b.UsesReportIds());
    for (HidReportType kind : kKinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        EXPECT_EQ(a.ReportByteLength(kind), b.ReportByteLength(kind));
        ASSERT_EQ(a.ButtonCaps(kind).size(), b.ButtonCaps(kind).size());
        for (std::size_t i = 0; i < a.ButtonCaps(kind).size(); ++i) {
            const HidButtonCaps& x = a.ButtonCaps(kind)[i];
            const HidButtonCaps& y = b.ButtonCaps(kind)[i];
            EXPECT_EQ(x.usagePage, y.usagePage);
            EXPECT_EQ(x.reportId, y.reportId);
            EXPECT_EQ(x.isArray, y.isArray);
            EXPECT_EQ(x.usageMinimum, y.usageMinimum);
            EXPECT_EQ(x.usageMaximum, y.usageMaximum);
        }
        ASSERT_EQ(a.ValueCaps(kind).size(), b.ValueCaps(kind).size());
        for (std::size_t i = 0; i < a.ValueCaps(kind).size(); ++i) {
            const HidValueCaps& x = a.ValueCaps(kind)[i];
            const HidValueCaps& y = b.ValueCaps(kind)[i];
            EXPECT_EQ(x.usagePage, y.usagePage);
            EXPECT_EQ(x.reportId, y.reportId);
            EXPECT_EQ(x.usageMinimum, y.usageMinimum);
            EXPECT_EQ(x.usageMaximum, y.usageMaximum);
            EXPECT_EQ(x.logicalMinimum, y.logicalMinimum);
            EXPECT_EQ(x.logicalMaximum, y.logicalMaximum);
            EXPECT_EQ(x.bitSize, y.bitSize);
            EXPECT_EQ(x.reportCount, y.reportCount);
        }
    }
}

HidReportDescriptor RoundTrip(std::span<const std::uint8_t> original, HidReportDescriptor& parsed) {
    std::string error;
    EXPECT_TRUE(parsed.Parse(original, &error)) << error;
    const std::vector<std::uint8_t> written = DescriptorFromCaps(CapsOf(parsed));
    HidReportDescriptor again;
    EXPECT_FALSE(written.empty());
    EXPECT_TRUE(again.Parse(written, &error)) << error;
    return again;
}

TEST(CapsDescriptorTest, TheInterfacesBrasslaneReadsDecodeAlikeThroughTheWrittenDescriptor) {
    std::mt19937 random(7);
    // The boot keyboard interface has padding between its fields, which no capability shows;
    // its capabilities and lengths still survive (checked with the recorded descriptors).
    for (auto original : {sim::SimHidBackend::CommandDescriptor(), sim::SimHidBackend::ConsumerDescriptor()}) {
        HidReportDescriptor parsed;
        const HidReportDescriptor again = RoundTrip(original, parsed);
        ExpectSameCaps(parsed, again);

        // Random input reports of every id decode to the same usages and values.
        std::set<std::uint8_t> ids;
        for (const HidButtonCaps& b : parsed.ButtonCaps(HidReportType::kInput)) {
            ids.insert(b.reportId);
        }
        for (const HidValueCaps& v : parsed.ValueCaps(HidReportType::kInput)) {
            ids.insert(v.reportId);
        }
        for (std::uint8_t id : ids) {
            for (int round = 0; round < 50; ++round) {
                std::vector<std::uint8_t> report(parsed.ReportByteLength(HidReportType::kInput, id));
                ASSERT_FALSE(report.empty());
                for (auto& byte : report) {
                    byte = static_cast<std::uint8_t>(random());
                }
                report[0] = id;
                for (const HidButtonCaps& b : parsed.ButtonCaps(HidReportType::kInput)) {
                    std::vector<std::uint16_t> x(256), y(256);
                    std::uint32_t nx = 0, ny = 0;
                    EXPECT_EQ(parsed.GetUsages(HidReportType::kInput, b.usagePage, x, nx, report),
                              again.GetUsages(HidReportType::kInput, b.usagePage, y, ny, report));
                    ASSERT_EQ(nx, ny);
                    x.resize(std::min<std::size_t>(nx, x.size()));
                    y.resize(x.size());
                    EXPECT_EQ(x, y);
                }
                for (const HidValueCaps& v : parsed.ValueCaps(HidReportType::kInput)) {
                    for (std::uint32_t usage = v.usageMinimum; usage <= v.usageMaximum; ++usage) {
                        std::uint32_t x = 0, y = 0;
                        const auto u = static_cast<std::uint16_t>(usage);
                        EXPECT_EQ(parsed.GetUsageValue(HidReportType::kInput, v.usagePage, u, x, report),
                                  again.GetUsageValue(HidReportType::kInput, v.usagePage, u, y, report));
                        EXPECT_EQ(x, y) << "usage " << usage;
                    }
                }
            }
        }
    }
}

TEST(CapsDescriptorTest, RecordedDescriptorsKeepTheirCapabilitiesAndLengths) {
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(BRASSLANE_TEST_DATA "/hid-descriptors")) {
        if (entry.path().extension() != ".bin") {
            continue;
        }
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        HidReportDescriptor parsed;
        // Windows lists each top-level collection as an interface of its own.
        if (!parsed.Parse(bytes) || parsed.TopLevelCollections().size() != 1) {
            continue;
        }
        const HidReportDescriptor again = RoundTrip(bytes, parsed);
        ExpectSameCaps(parsed, again);
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

TEST(CapsDescriptorTest, CapabilitiesThatCannotBeWrittenGiveNoDescriptor) {
    InterfaceCaps caps;
    caps.usagePage = 0xFF1C;
    caps.usage = 0x92;
    caps.reportByteLength = {3, 0, 0};
    HidValueCaps value;
    value.usagePage = 0xFF1C;
    value.usage = value.usageMinimum = value.usageMaximum = 1;
    value.logicalMaximum = 255;
    value.bitSize = 8;
    value.reportCount = 2;
    caps.values[0].push_back(value);
    EXPECT_FALSE(DescriptorFromCaps(caps).empty()); // two bytes fit a three-byte report (id byte)

    caps.values[0][0].reportCount = 3; // longer than the report
    EXPECT_TRUE(DescriptorFromCaps(caps).empty());
    caps.values[0][0].reportCount = 1;
    caps.values[0][0].bitSize = 0;
    EXPECT_TRUE(DescriptorFromCaps(caps).empty());
    caps.values[0][0].bitSize = 8;
    caps.reportByteLength = {0, 0, 0}; // fields in a kind the interface does not have
    EXPECT_TRUE(DescriptorFromCaps(caps).empty());
}

} // namespace
} // namespace brasslane

#include "platform/hid_report_descriptor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace talvo::platform::hid {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

// Consumer control, report id 3: two 16-bit array slots over usages 0..0x0FFF.
const Bytes kConsumer = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,  // Usage Page (Consumer), Usage (Consumer Control), Collection
    0x85, 0x03,                          // Report ID 3
    0x15, 0x00, 0x26, 0xFF, 0x0F,        // Logical 0..0x0FFF
    0x19, 0x00, 0x2A, 0xFF, 0x0F,        // Usage 0..0x0FFF
    0x75, 0x10, 0x95, 0x02, 0x81, 0x00,  // 2 x 16 bits, Input (Data, Array)
    0xC0,
};

// Vendor command interface, report id 4: 63 bytes in and out.
const Bytes kVendor = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01,  // Usage Page 0xFF1C, Usage 0x92, Collection
    0x85, 0x04,                                // Report ID 4
    0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,  // Usage 1, Logical 0..255
    0x75, 0x08, 0x95, 0x3F, 0x81, 0x02,        // 63 x 8 bits, Input (Data, Var)
    0x09, 0x01, 0x91, 0x02,                    // Output (Data, Var)
    0xC0,
};

// Boot mouse without report ids.
const Bytes kMouse = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,  // Generic Desktop, Mouse, Collection (Application)
    0x09, 0x01, 0xA1, 0x00,              // Pointer, Collection (Physical)
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03,  // Buttons 1..3
    0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x05, 0x81, 0x01,  // 5 bits padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31,  // X, Y
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06,
    0xC0, 0xC0,
};

Bytes Concat(const Bytes& a, const Bytes& b) {
  Bytes out = a;
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

// Wraps field items in an application collection on the Generic Desktop page.
Bytes InCollection(const Bytes& items) {
  return Concat(Concat({0x05, 0x01, 0x09, 0x00, 0xA1, 0x01}, items), {0xC0});
}

ReportDescriptor Parse(const Bytes& bytes) {
  auto parsed = ParseReportDescriptor(bytes);
  EXPECT_TRUE(parsed.has_value());
  return parsed.value_or(ReportDescriptor{});
}

std::vector<uint16_t> Usages(const TopCollection& top, uint16_t page, const Bytes& report,
                             Status expected = Status::Success) {
  std::array<uint16_t, 16> buffer{};
  size_t count = 99;
  EXPECT_EQ(GetUsages(top, page, report, buffer, count), expected);
  return {buffer.begin(), buffer.begin() + count};
}

TEST(HidReportDescriptor, ConsumerControlReportsNotificationUsages) {
  const ReportDescriptor d = Parse(kConsumer);
  ASSERT_EQ(d.collections.size(), 1u);
  const TopCollection& top = d.collections[0];
  EXPECT_TRUE(d.usesReportIds);
  EXPECT_EQ(top.usagePage, 0x0C);
  EXPECT_EQ(top.usage, 0x01);
  EXPECT_EQ(top.inputReportByteLength, 5);
  EXPECT_EQ(top.outputReportByteLength, 0);
  EXPECT_THAT(top.reportIds, ElementsAre(3));
  ASSERT_EQ(top.inputButtonCaps.size(), 1u);
  EXPECT_TRUE(top.inputButtonCaps[0].isArray);
  EXPECT_EQ(MaxUsageListLength(top, 0x0C), 2u);
  EXPECT_EQ(MaxUsageListLength(top, 0x09), 0u);

  EXPECT_THAT(Usages(top, 0x0C, {3, 0x01, 0x04, 0x00, 0x00}), ElementsAre(0x401));
  EXPECT_THAT(Usages(top, 0x0C, {3, 0x02, 0x04, 0x03, 0x04}), ElementsAre(0x402, 0x403));
  EXPECT_TRUE(Usages(top, 0x0C, {3, 0, 0, 0, 0}).empty());  // empty slots are usage 0
  EXPECT_TRUE(Usages(top, 0x0C, {3, 0x00, 0x10, 0, 0}).empty());  // beyond the logical range

  EXPECT_TRUE(Usages(top, 0x0C, {4, 0x01, 0x04, 0, 0}, Status::IncompatibleReportId).empty());
  EXPECT_TRUE(Usages(top, 0x09, {3, 0x01, 0x04, 0, 0}, Status::UsageNotFound).empty());
  EXPECT_TRUE(Usages(top, 0x0C, {3, 0x01, 0x04, 0x02}, Status::InvalidReportLength).empty());
  EXPECT_TRUE(Usages(top, 0x0C, {}, Status::InvalidReportLength).empty());

  std::array<uint16_t, 1> one{};
  size_t count = 0;
  const Bytes both = {3, 0x02, 0x04, 0x03, 0x04};
  EXPECT_EQ(GetUsages(top, 0x0C, both, one, count), Status::BufferTooSmall);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(one[0], 0x402);
}

TEST(HidReportDescriptor, VendorAndCompositeDescriptors) {
  const ReportDescriptor vendor = Parse(kVendor);
  ASSERT_EQ(vendor.collections.size(), 1u);
  const TopCollection& v = vendor.collections[0];
  EXPECT_EQ(v.usagePage, 0xFF1C);
  EXPECT_EQ(v.usage, 0x92);
  EXPECT_EQ(v.inputReportByteLength, 64);
  EXPECT_EQ(v.outputReportByteLength, 64);
  ASSERT_EQ(v.inputValueCaps.size(), 1u);
  EXPECT_EQ(v.inputValueCaps[0].reportCount, 63);
  EXPECT_EQ(v.inputValueCaps[0].bitSize, 8);

  Bytes report(64, 0);
  report[0] = 4;
  report[1] = 0xAB;
  uint32_t raw = 0;
  EXPECT_EQ(GetUsageValue(v, 0xFF1C, 0x01, report, raw), Status::Success);
  EXPECT_EQ(raw, 0xABu);
  EXPECT_EQ(GetUsageValue(v, 0xFF1C, 0x02, report, raw), Status::UsageNotFound);

  // Both interfaces in one descriptor: the report id picks the collection,
  // and each id counts its bits from its own start.
  const ReportDescriptor both = Parse(Concat(kConsumer, kVendor));
  ASSERT_EQ(both.collections.size(), 2u);
  EXPECT_EQ(CollectionOfInputReport(both, 3), 0);
  EXPECT_EQ(CollectionOfInputReport(both, 4), 1);
  EXPECT_EQ(CollectionOfInputReport(both, 5), -1);
  EXPECT_EQ(both.collections[0].inputReportByteLength, 5);
  EXPECT_EQ(both.collections[1].inputReportByteLength, 64);
  EXPECT_EQ(both.collections[1].inputValueCaps[0].bitOffset, 0u);
  EXPECT_THAT(Usages(both.collections[0], 0x0C, {3, 0x01, 0x04, 0, 0}), ElementsAre(0x401));
}

TEST(HidReportDescriptor, BootMouseButtonsAndSignedAxes) {
  const ReportDescriptor d = Parse(kMouse);
  ASSERT_EQ(d.collections.size(), 1u);
  const TopCollection& top = d.collections[0];
  EXPECT_FALSE(d.usesReportIds);
  EXPECT_TRUE(top.reportIds.empty());
  EXPECT_EQ(top.usagePage, 0x01);
  EXPECT_EQ(top.usage, 0x02);
  EXPECT_EQ(top.inputReportByteLength, 4);
  EXPECT_EQ(CollectionOfInputReport(d, 0), 0);

  ASSERT_EQ(top.inputButtonCaps.size(), 1u);
  const ButtonCaps& buttons = top.inputButtonCaps[0];
  EXPECT_FALSE(buttons.isArray);
  EXPECT_TRUE(buttons.isRange);
  EXPECT_EQ(buttons.usageMin, 1);
  EXPECT_EQ(buttons.usageMax, 3);
  EXPECT_EQ(buttons.linkCollection, 1);
  ASSERT_EQ(top.inputValueCaps.size(), 1u);
  const ValueCaps& axes = top.inputValueCaps[0];
  EXPECT_EQ(axes.usageMin, 0x30);
  EXPECT_EQ(axes.usageMax, 0x31);
  EXPECT_EQ(axes.bitOffset, 8u);
  EXPECT_EQ(axes.logicalMin, -127);
  EXPECT_EQ(axes.logicalMax, 127);

  const Bytes report = {0, 0x05, 0xFF, 0x10};
  EXPECT_THAT(Usages(top, 0x09, report), ElementsAre(1, 3));
  uint32_t raw = 0;
  int32_t scaled = 0;
  EXPECT_EQ(GetUsageValue(top, 0x01, 0x30, report, raw), Status::Success);
  EXPECT_EQ(raw, 0xFFu);
  EXPECT_EQ(GetScaledUsageValue(top, 0x01, 0x30, report, scaled), Status::Success);
  EXPECT_EQ(scaled, -1);
  EXPECT_EQ(GetScaledUsageValue(top, 0x01, 0x31, report, scaled), Status::Success);
  EXPECT_EQ(scaled, 16);
  EXPECT_EQ(GetScaledUsageValue(top, 0x01, 0x30, Bytes{0, 0, 0x80, 0}, scaled), Status::ValueOutOfRange);
  EXPECT_EQ(GetUsageValue(top, 0x01, 0x31, Bytes{0, 0, 0}, raw), Status::InvalidReportLength);
  EXPECT_EQ(GetUsageValue(top, 0x01, 0x31, Bytes{1, 0, 0, 0}, raw), Status::IncompatibleReportId);
}

TEST(HidReportDescriptor, ScaledValuesMapOntoThePhysicalRange) {
  const ReportDescriptor d = Parse(InCollection({
      0x09, 0x30, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x35, 0x00, 0x46, 0xE8, 0x03,  // 0..255 -> 0..1000
      0x75, 0x08, 0x95, 0x01, 0x81, 0x02,
      0x09, 0x31, 0x15, 0x9C, 0x25, 0x64, 0x35, 0xF6, 0x45, 0x0A,  // -100..100 -> -10..10
      0x81, 0x02,
  }));
  const TopCollection& top = d.collections.at(0);
  int32_t scaled = 0;
  EXPECT_EQ(GetScaledUsageValue(top, 0x01, 0x30, Bytes{0, 255, 0}, scaled), Status::Success);
  EXPECT_EQ(scaled, 1000);
  EXPECT_EQ(GetScaledUsageValue(top, 0x01, 0x30, Bytes{0, 51, 0}, scaled), Status::Success);
  EXPECT_EQ(scaled, 200);
  EXPECT_EQ(GetScaledUsageValue(top, 0x01, 0x31, Bytes{0, 0, 0xB0}, scaled), Status::Success);  // -80
  EXPECT_EQ(scaled, -8);
  EXPECT_EQ(GetScaledUsageValue(top, 0x01, 0x31, Bytes{0, 0, 0x65}, scaled), Status::ValueOutOfRange);
}

TEST(HidReportDescriptor, MinimumIsSignedAndMaximumFollowsIt) {
  const ReportDescriptor d = Parse(InCollection({
      0x09, 0x30, 0x15, 0x00, 0x25, 0xFF, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02,  // 0..0xFF: 0..255
      0x09, 0x31, 0x15, 0xFF, 0x25, 0xFF, 0x81, 0x02,                          // both -1
      0x09, 0x32, 0x16, 0x00, 0x80, 0x26, 0xFF, 0x7F, 0x75, 0x10, 0x81, 0x02,  // 16-bit signed
      0x09, 0x33, 0x17, 0x00, 0x00, 0x00, 0x80, 0x27, 0xFF, 0xFF, 0xFF, 0xFF,  // 32-bit: min, -1
      0x75, 0x20, 0x81, 0x02,
  }));
  const auto& caps = d.collections.at(0).inputValueCaps;
  ASSERT_EQ(caps.size(), 4u);
  EXPECT_EQ(caps[0].logicalMin, 0);
  EXPECT_EQ(caps[0].logicalMax, 255);
  EXPECT_EQ(caps[1].logicalMin, -1);
  EXPECT_EQ(caps[1].logicalMax, -1);
  EXPECT_EQ(caps[2].logicalMin, -32768);
  EXPECT_EQ(caps[2].logicalMax, 32767);
  EXPECT_EQ(caps[3].logicalMin, INT32_MIN);
  EXPECT_EQ(caps[3].logicalMax, -1);
  EXPECT_EQ(caps[3].bitOffset, 32u);
}

TEST(HidReportDescriptor, UsageListsBecomeRunsAndTheLastUsageRepeats) {
  const ReportDescriptor d = Parse(InCollection({
      0x09, 0x30, 0x09, 0x31, 0x09, 0x35,  // X, Y, Rz
      0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x05, 0x81, 0x02,
      0x0B, 0xE9, 0x00, 0x0C, 0x00,  // Volume Up as a 4-byte usage with its own page
      0x75, 0x01, 0x95, 0x08, 0x81, 0x02,
  }));
  const TopCollection& top = d.collections.at(0);
  ASSERT_EQ(top.inputValueCaps.size(), 2u);
  EXPECT_EQ(top.inputValueCaps[0].usageMin, 0x30);
  EXPECT_EQ(top.inputValueCaps[0].usageMax, 0x31);
  EXPECT_EQ(top.inputValueCaps[0].reportCount, 2);
  EXPECT_EQ(top.inputValueCaps[1].usageMin, 0x35);
  EXPECT_EQ(top.inputValueCaps[1].bitOffset, 16u);
  EXPECT_EQ(top.inputValueCaps[1].reportCount, 3);

  const Bytes report = {0, 10, 20, 30, 40, 50, 0x81};
  uint32_t raw = 0;
  EXPECT_EQ(GetUsageValue(top, 0x01, 0x31, report, raw), Status::Success);
  EXPECT_EQ(raw, 20u);
  EXPECT_EQ(GetUsageValue(top, 0x01, 0x35, report, raw), Status::Success);
  EXPECT_EQ(raw, 30u);
  EXPECT_EQ(GetUsageValue(top, 0x01, 0x32, report, raw), Status::UsageNotFound);

  ASSERT_EQ(top.inputButtonCaps.size(), 1u);
  EXPECT_EQ(top.inputButtonCaps[0].usagePage, 0x0C);
  EXPECT_EQ(MaxUsageListLength(top, 0x0C), 8u);
  EXPECT_THAT(Usages(top, 0x0C, report), ElementsAre(0xE9, 0xE9));
}

TEST(HidReportDescriptor, ArrayOfUsageListIndexedFromLogicalMinimum) {
  const ReportDescriptor d = Parse(InCollection({
      0x05, 0x0C, 0x09, 0xB5, 0x09, 0xB6, 0x09, 0xCD,  // Next, Previous, Play/Pause
      0x15, 0x01, 0x25, 0x03, 0x75, 0x08, 0x95, 0x02, 0x81, 0x00,
  }));
  const TopCollection& top = d.collections.at(0);
  ASSERT_EQ(top.inputButtonCaps.size(), 2u);
  EXPECT_EQ(top.inputButtonCaps[0].logicalMin, 1);
  EXPECT_EQ(top.inputButtonCaps[0].logicalMax, 2);
  EXPECT_EQ(top.inputButtonCaps[1].logicalMin, 3);
  EXPECT_EQ(MaxUsageListLength(top, 0x0C), 2u);
  EXPECT_THAT(Usages(top, 0x0C, {0, 3, 1}), ElementsAre(0xCD, 0xB5));
  EXPECT_THAT(Usages(top, 0x0C, {0, 0, 4}), ElementsAre());
}

// The caller keeps only its own range: a field's decode lists every usage of
// the page that is on, whichever field it comes from.
TEST(HidReportDescriptor, UsagesOfEveryButtonFieldOfThePage) {
  const ReportDescriptor d = Parse(InCollection({
      0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02,
      0x09, 0x05, 0x95, 0x01, 0x81, 0x02,
      0x95, 0x04, 0x81, 0x03,
  }));
  const TopCollection& top = d.collections.at(0);
  EXPECT_EQ(MaxUsageListLength(top, 0x09), 4u);
  EXPECT_THAT(Usages(top, 0x09, {0, 0b1010}), ElementsAre(2, 5));
}

TEST(HidReportDescriptor, PushPopAndLocalsResetAfterMainItems) {
  const ReportDescriptor d = Parse(InCollection({
      0x05, 0x09, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x04,
      0xA4,                                            // Push
      0x05, 0x01, 0x09, 0x38, 0x15, 0x9C, 0x25, 0x64,  // Wheel -100..100
      0x75, 0x08, 0x95, 0x01, 0x81, 0x06,
      0xB4,                                            // Pop: buttons, 4 x 1 bit again
      0x19, 0x01, 0x29, 0x04, 0x81, 0x02,
      0x81, 0x02,                                      // no usages left: usage 0
  }));
  const TopCollection& top = d.collections.at(0);
  ASSERT_EQ(top.inputValueCaps.size(), 1u);
  EXPECT_EQ(top.inputValueCaps[0].usagePage, 0x01);
  EXPECT_EQ(top.inputValueCaps[0].logicalMin, -100);
  ASSERT_EQ(top.inputButtonCaps.size(), 2u);
  const ButtonCaps& buttons = top.inputButtonCaps[0];
  EXPECT_EQ(buttons.usagePage, 0x09);
  EXPECT_EQ(buttons.bitOffset, 8u);
  EXPECT_EQ(buttons.reportCount, 4);
  EXPECT_EQ(buttons.logicalMax, 1);
  EXPECT_EQ(top.inputButtonCaps[1].usageMin, 0);
  EXPECT_EQ(top.inputReportByteLength, 3);
  EXPECT_THAT(Usages(top, 0x09, {0, 0, 0xFF}), ElementsAre(1, 2, 3, 4));

  EXPECT_FALSE(ParseReportDescriptor(InCollection({0xB4})));        // Pop without Push
  EXPECT_FALSE(ParseReportDescriptor(InCollection({0xA4})));        // Push left open
  auto pushes = [](size_t depth) {
    Bytes items(depth, 0xA4);
    items.insert(items.end(), depth, 0xB4);
    return InCollection(items);
  };
  EXPECT_TRUE(ParseReportDescriptor(pushes(16)));
  EXPECT_FALSE(ParseReportDescriptor(pushes(17)));
}

TEST(HidReportDescriptor, ReportIdsSplitBitsAndLengths) {
  const ReportDescriptor d = Parse(InCollection({
      0x85, 0x01, 0x09, 0x30, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02,
      0x85, 0x02, 0x09, 0x31, 0x95, 0x03, 0x81, 0x02,
      0x85, 0x01, 0x09, 0x32, 0x95, 0x01, 0x81, 0x02,
      0x85, 0x05, 0x09, 0x01, 0x95, 0x07, 0xB1, 0x02,  // Feature
  }));
  const TopCollection& top = d.collections.at(0);
  EXPECT_THAT(top.reportIds, ElementsAre(1, 2, 5));
  EXPECT_EQ(top.inputReportByteLength, 4);
  EXPECT_EQ(top.featureReportByteLength, 8);
  ASSERT_EQ(top.inputValueCaps.size(), 3u);
  EXPECT_EQ(top.inputValueCaps[1].bitOffset, 0u);
  EXPECT_EQ(top.inputValueCaps[2].bitOffset, 8u);
  EXPECT_EQ(top.inputValueCaps[2].reportId, 1);
}

TEST(HidReportDescriptor, LinkCollectionsAndDelimiters) {
  const ReportDescriptor d = Parse(InCollection({
      0x05, 0x09, 0x75, 0x01, 0x95, 0x02, 0x25, 0x01,
      0xA1, 0x00, 0x09, 0x01, 0x09, 0x02, 0x81, 0x02, 0xC0,  // link 1
      0xA1, 0x00,                                            // link 2
      0xA9, 0x01, 0x09, 0x03, 0x09, 0x04, 0xA9, 0x00,        // Delimiter set: 3 or 4
      0x09, 0x05, 0x81, 0x02,
      0xC0,
      0x09, 0x06, 0x95, 0x04, 0x81, 0x02,  // top level again
  }));
  const auto& caps = d.collections.at(0).inputButtonCaps;
  ASSERT_EQ(caps.size(), 4u);
  EXPECT_EQ(caps[0].linkCollection, 1);
  EXPECT_EQ(caps[1].usageMin, 3);
  EXPECT_EQ(caps[1].linkCollection, 2);
  EXPECT_EQ(caps[2].usageMin, 5);
  EXPECT_EQ(caps[3].linkCollection, 0);
}

TEST(HidReportDescriptor, MalformedDescriptorsAreRejected) {
  for (size_t cut = 0; cut < kMouse.size(); ++cut) {
    EXPECT_FALSE(ParseReportDescriptor(std::span(kMouse).first(cut))) << "cut at " << cut;
  }
  EXPECT_FALSE(ParseReportDescriptor(Bytes{0xC0}));                          // End without Collection
  EXPECT_FALSE(ParseReportDescriptor(Bytes{0x09, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02}));  // no collection
  EXPECT_FALSE(ParseReportDescriptor(InCollection({0x85, 0x00})));            // Report ID 0
  EXPECT_FALSE(ParseReportDescriptor(InCollection({0x75, 0x08, 0x96, 0x01, 0x10, 0x81, 0x02})));  // 4097 bytes
  EXPECT_FALSE(ParseReportDescriptor(InCollection({0xFE, 0x04, 0x00, 0x01})));  // long item cut short
  auto nested = [](size_t depth) {
    Bytes items;
    for (size_t i = 0; i < depth; ++i) items.insert(items.end(), {0xA1, 0x00});
    items.insert(items.end(), depth, 0xC0);
    return items;
  };
  EXPECT_TRUE(ParseReportDescriptor(nested(32)));
  EXPECT_FALSE(ParseReportDescriptor(nested(33)));
  Bytes padded = InCollection({});
  padded.resize(4096, 0x00);  // zero bytes are items without meaning
  EXPECT_TRUE(ParseReportDescriptor(padded));
  padded.push_back(0x00);
  EXPECT_FALSE(ParseReportDescriptor(padded));
}

TEST(HidReportDescriptor, UnusualItemsAreSkippedSafely) {
  // A long item, a 64-bit data field (padding) and an empty field.
  const ReportDescriptor d = Parse(InCollection({
      0xFE, 0x02, 0x10, 0xAA, 0xBB,
      0x09, 0x30, 0x75, 0x40, 0x95, 0x01, 0x81, 0x02,
      0x09, 0x31, 0x95, 0x00, 0x81, 0x02,
      0x09, 0x32, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02,
  }));
  const TopCollection& top = d.collections.at(0);
  ASSERT_EQ(top.inputValueCaps.size(), 1u);
  EXPECT_EQ(top.inputValueCaps[0].usageMin, 0x32);
  EXPECT_EQ(top.inputValueCaps[0].bitOffset, 64u);
  EXPECT_EQ(top.inputReportByteLength, 10);
}

}  // namespace
}  // namespace talvo::platform::hid

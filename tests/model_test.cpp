// The page model and its C interface: what the real sample pages hold, the
// field lists' cover of every byte, 64-bit exact figures, and parsing any
// bytes of any length. (tolvik_c_test checks the C records of the samples.)
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "test_support.h"
#include "tolvik_c.h"

namespace tolvik::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes sample(const std::string& name) {
  const std::string bytes = read_file(kSamples + "/" + name);
  return {bytes.begin(), bytes.end()};
}

const Field* at_byte(const FieldList& list, std::size_t first) {
  for (const FieldRef& ref : list.fields()) {
    if (ref.base + ref.info->first == first) return ref.field;
  }
  return nullptr;
}

// Each byte of [from, to) in exactly one field, in order; each field's raw
// value its first bytes (where the list has them); the C records, when
// given, the same fields.
void expect_cover(const FieldList& list, std::size_t from, std::size_t to, const tolvik_field* c = nullptr) {
  std::size_t next = from;
  for (std::size_t i = 0; i < list.count; ++i) {
    const FieldInfo& info = *list.items[i].info;
    const Field& field = *list.items[i].field;
    const std::size_t first = list.items[i].base + info.first;
    ASSERT_EQ(first, next) << info.name();
    next = first + info.size();
    std::uint32_t raw = 0;
    for (std::size_t b = std::min<std::size_t>(info.size(), 4); b-- > 0 && !list.bytes.empty();)
      raw = raw << 8 | list.bytes[first + b];
    EXPECT_TRUE(list.bytes.empty() || field.raw == raw) << info.name();
    if (c == nullptr) continue;
    // Comparing the C names as string_views also finds their NULs.
    EXPECT_TRUE(c[i].name == info.name() && c[i].key == info.key() && c[i].value == field.value &&
                c[i].raw == field.raw && c[i].first == first && c[i].last + 1U == next &&
                c[i].kind == static_cast<int>(info.kind) && c[i].unit == static_cast<int>(info.unit) &&
                c[i].defined == field.defined && c[i].exact == field.exact)
        << info.name();
  }
  EXPECT_EQ(next, to);
}

constexpr const char* kOld = "mt29f1g08abbda3w.onfi.bin";   // ONFI 1.0, column A of Micron's table
constexpr const char* kNew = "mt29f32g08abcdbj4.onfi.bin";  // ONFI 3.0, column B

// Values the reference files state for the real pages beyond the C records'
// members: fields by their first byte, Micron's vendor bytes among them.
TEST(ModelSamples, FieldsHoldWhatTheReferenceStates) {
  const std::tuple<const char*, std::uint16_t, std::uint64_t> values[] = {
      {kNew, 10, 0x0F},  {kNew, 101, 0x23}, {kNew, 114, 0x1E}, {kNew, 128, 5},    {kNew, 131, 0},
      {kNew, 141, 0x3F}, {kNew, 142, 0x7F}, {kNew, 143, 0x02}, {kNew, 144, 40},   {kNew, 146, 45},
      {kNew, 150, 5},    {kNew, 151, 0x07}, {kNew, 152, 45},   {kNew, 154, 70},   {kNew, 158, 0x1F},
      {kNew, 159, 0xFF}, {kOld, 4, 0x0002}, {kOld, 6, 0x0001}, {kOld, 86, 8192},  {kOld, 101, 0x22},
      {kOld, 164, 1},    {kOld, 166, 0x01}, {kOld, 167, 0x00}, {kOld, 168, 0x00}, {kOld, 169, 0x02},
      {kOld, 170, 0x04}, {kOld, 171, 0x80}, {kOld, 172, 0x01}, {kOld, 173, 0x81}, {kOld, 174, 0x04},
      {kOld, 175, 0x01}, {kOld, 176, 0x02}, {kOld, 177, 0x01}, {kOld, 178, 0x0A}, {kOld, 179, 0x00},
      {kOld, 180, 0x00}, {kOld, 253, 0x00}, {kNew, 164, 1},    {kNew, 166, 0x01}, {kNew, 167, 0x00},
      {kNew, 168, 0x00}, {kNew, 169, 0x00}, {kNew, 170, 0x04}, {kNew, 171, 0x10}, {kNew, 172, 0x01},
      {kNew, 173, 0x81}, {kNew, 174, 0x04}, {kNew, 175, 0x02}, {kNew, 176, 0x02}, {kNew, 177, 0x01},
      {kNew, 178, 0x1E}, {kNew, 179, 0x90}, {kNew, 180, 0x0A}, {kNew, 253, 0x01},
  };
  for (const auto& [file, first, value] : values) {
    PageModel model;
    ASSERT_EQ(parse_page(sample(file), model), Layout::Onfi);
    ASSERT_TRUE(model.onfi.vendor != nullptr && model.onfi.vendor->maker == "Micron") << file;
    const FieldList list = list_fields(model);
    const Field* field = at_byte(list, first);
    ASSERT_NE(field, nullptr) << file << " byte " << first;
    EXPECT_EQ(field->value, value) << file << " byte " << first;
  }
}

// The dump: three good copies of the page and of its 48-byte extended page,
// one ECC section: 24 bits per 1024 bytes, 100 bad blocks, 5x10^3 cycles.
TEST(ModelSamples, DumpAndItsExtendedPage) {
  const Bytes bytes = sample("mt29f32g08abcdbj4.onfi-dump.bin");
  Dump dump;
  parse_dump(bytes, dump);
  ASSERT_EQ(dump.copy_list().size(), 3U);
  for (const CopyCheck& copy : dump.copy_list()) EXPECT_TRUE(copy.ok && copy.stored == 0x8A63);
  EXPECT_TRUE(dump.data_bytes == 4395630592U && dump.raw_bytes == 4721868800U);
  ExtendedPage alone;
  parse_extended_page(dump.page.onfi, std::span(bytes).subspan(768), alone);
  EXPECT_TRUE(dump.extended.offset == 768U && alone.offset == 0U);
  for (const ExtendedPage* epp : {&dump.extended, &alone}) {
    ASSERT_TRUE(epp->state == ExtendedPage::State::Read && epp->length == 48U);
    ASSERT_EQ(epp->copy_list().size(), 3U);
    for (const EppCopy& copy : epp->copy_list()) EXPECT_TRUE(copy.valid() && copy.stored == 0x70BD);
    ASSERT_EQ(epp->section_list().size(), 1U);
    ASSERT_EQ(epp->ecc_blocks(epp->section_list()[0]).size(), 1U);
    expect_cover(list_header_fields(*epp), 0, epp::kSectionData);
    const FieldList block = list_fields(*epp, epp->ecc_blocks(epp->section_list()[0])[0]);
    expect_cover(block, 32, 48);
    const std::uint64_t expected[] = {24, 10, 100, 5000};
    for (std::size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(block.items[i].field->value, expected[i]);
  }
}

// Random pages of both layouts and of the makers whose vendor blocks are
// decoded field by field, and the samples: every byte in one field, and the
// C records the same fields and the same check.
TEST(ModelFields, EveryByteInExactlyOneFieldAndTheCRecordsAgree) {
  std::mt19937 random(15);
  std::vector<Bytes> pages = {sample(kOld), sample(kNew), sample("tv256g08mdt4b.jedec.bin")};
  const std::pair<const char*, std::uint8_t> makers[] = {{nullptr, 0}, {"MICRON", 0x2C}, {"MACRONIX", 0xC2}};
  for (int i = 0; i < 300; ++i) {
    Bytes& page = pages.emplace_back(512);
    std::generate(page.begin(), page.end(), [&random] { return static_cast<std::uint8_t>(random()); });
    std::copy_n(i % 2 == 0 ? "ONFI" : "JESD", 4, page.begin());
    if (const auto [text, id] = makers[i % 3]; text != nullptr) {
      std::fill_n(std::copy_n(text, std::strlen(text), page.begin() + 32), 12 - std::strlen(text), ' ');
      page[64] = id;
    }
  }
  for (const Bytes& page : pages) {
    PageModel model;
    parse_page(page, model);
    const FieldList list = list_fields(model);
    tolvik_field fields[TOLVIK_FIELDS_MAX + 1];
    fields[3].raw = 0xA5A5A5A5;
    ASSERT_EQ(tolvik_list_fields(page.data(), page.size(), fields, 3), list.count);
    EXPECT_EQ(fields[3].raw, 0xA5A5A5A5) << "written past the capacity";
    tolvik_list_fields(page.data(), page.size(), fields, TOLVIK_FIELDS_MAX);
    expect_cover(list, 0, model.layout == Layout::Onfi ? 256 : 512, fields);

    Findings findings;
    check_page(model, findings);
    tolvik_finding out[TOLVIK_FINDINGS_MAX];
    const tolvik_check_counts counts = tolvik_check_page(page.data(), page.size(), out, TOLVIK_FINDINGS_MAX);
    ASSERT_TRUE(counts.findings == findings.count && counts.failures == findings.failures);
    for (std::size_t i = 0; i < findings.count; ++i)
      EXPECT_TRUE(out[i].rule == findings.items[i].rule && out[i].first == findings.items[i].first &&
                  std::string_view(out[i].message) == findings.items[i].message);
  }
}

// Figures past 32 bits are exact; past 64 bits they read 0, not exact. The
// C record's device size is the dump's.
TEST(ModelFields, SixtyFourBitFiguresAreExactOrZero) {
  const auto onfi = [] { return PageBuilder::onfi().le32(80, 1).le32(92, 1).le32(96, 1).u8(100, 1); };
  const auto jedec = [] { return PageBuilder::jedec().le32(80, 1).le32(92, 1).le32(96, 1).u8(100, 1); };
  const std::uint32_t kMax = 0xFFFFFFFF;
  const struct {
    PageBuilder page;
    std::size_t endurance_at;
    std::uint64_t endurance;  // 0 from a mantissa that is not: not exact
    std::uint64_t device_bytes;
    bool device_exact;
  } cases[] = {
      {onfi().u8(105, 9).u8(106, 9), 105, 9000000000U, 1, true},
      {onfi().u8(105, 18).u8(106, 18), 105, 18000000000000000000U, 1, true},
      {onfi().u8(105, 19).u8(106, 18), 105, 0, 1, true},
      {onfi().u8(105, 255).u8(106, 255), 105, 0, 1, true},
      {onfi().u8(105, 0).u8(106, 255), 105, 0, 1, true},
      {jedec().u8(215, 9).u8(216, 9), 215, 9000000000U, 1, true},
      {jedec().u8(215, 19).u8(216, 18), 215, 0, 1, true},
      {onfi().le32(80, 0x10000).le32(92, 0x100).le32(96, 0x100), 105, 0, 0x100000000U, true},
      {jedec().le32(80, kMax).le32(92, kMax), 215, 0, 18446744065119617025U, true},
      {jedec().le32(80, kMax).le32(92, kMax).u8(100, 2), 215, 0, 0, false},
      {onfi().le32(80, kMax).le32(92, kMax).u8(100, 0), 105, 0, 0, true},
  };
  for (const auto& c : cases) {
    const std::span<const std::uint8_t> bytes = c.page.page().bytes;
    SCOPED_TRACE(testing::Message() << "row " << &c - cases);
    PageModel model;
    parse_page(bytes, model);
    const Field* endurance = at_byte(list_fields(model), c.endurance_at);
    ASSERT_NE(endurance, nullptr);
    EXPECT_EQ(endurance->value, c.endurance);
    EXPECT_EQ(endurance->exact, c.endurance != 0 || bytes[c.endurance_at] == 0);
    tolvik_page_info info;
    tolvik_parse_page(bytes.data(), bytes.size(), &info);
    EXPECT_TRUE(info.endurance_cycles == c.endurance && info.data_bytes_per_device == c.device_bytes);
    Dump dump;  // of one copy
    parse_dump(bytes.first(model.layout == Layout::Onfi ? 256 : 512), dump);
    EXPECT_TRUE(dump.data_bytes == c.device_bytes && dump.data_bytes_exact == c.device_exact);
  }
}

// Any length parses; bytes past the span read as zero and none past it is
// read (each span is a vector of exactly its size).
TEST(ModelParse, AnyLengthReadsAsZeroFilled) {
  std::mt19937 random(16);
  for (const char* signature : {"ONFI", "JESD"}) {
    for (const std::size_t size : {0, 1, 3, 4, 5, 64, 255, 256, 257, 511, 512, 513, 4096}) {
      SCOPED_TRACE(testing::Message() << signature << " " << size);
      Bytes bytes(size);
      std::generate(bytes.begin(), bytes.end(), [&random] { return static_cast<std::uint8_t>(random()); });
      std::copy_n(signature, std::min<std::size_t>(size, 4), bytes.begin());
      std::array<std::uint8_t, 512> padded{};
      std::copy_n(bytes.begin(), std::min(size, padded.size()), padded.begin());

      PageModel model, whole;
      const Layout layout = parse_page(bytes, model);
      EXPECT_EQ(layout == Layout::None, size < 4);
      EXPECT_EQ(tolvik_parse_page(bytes.data(), size, nullptr), static_cast<int>(layout));
      Dump dump;
      parse_dump(bytes, dump);
      EXPECT_EQ(dump.layout == Layout::None, size < 4);
      if (layout == Layout::None) continue;
      parse_page(padded, whole);
      const FieldList a = list_fields(model), b = list_fields(whole);
      ASSERT_EQ(a.count, b.count);
      for (std::size_t i = 0; i < a.count; ++i) {
        EXPECT_TRUE(a.items[i].field->raw == b.items[i].field->raw &&
                    a.items[i].field->value == b.items[i].field->value)
            << a.items[i].info->name();
      }
    }
  }
  tolvik_page_info info;
  EXPECT_EQ(tolvik_parse_page(nullptr, 512, &info), TOLVIK_LAYOUT_NONE);
  EXPECT_EQ(tolvik_list_fields(nullptr, 512, nullptr, 0), 0U);
  const tolvik_check_counts counts = tolvik_check_page(nullptr, 0, nullptr, 0);
  EXPECT_EQ(counts.findings, counts.failures + counts.warnings);
}

}  // namespace
}  // namespace tolvik::test

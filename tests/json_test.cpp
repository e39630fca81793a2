// The JSON document (format 2) against the model it is written from and
// against the text report of the same page: every field in its place and
// exact, every text line's values the document's (one source of truth), the
// marks of undefined fields, strings, bounds, and -j runs of the command.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "decode/report.h"
#include "test_support.h"

namespace tolvik::test {
namespace {

// Members in document order, as the tool writes them.
using json = nlohmann::ordered_json;

std::string decode_json(const ParamPage& page, int level = 2) {
  std::string buffer(kJsonCapacity, '\0');
  const DecodeResult result = decode_page(page, buffer, level, Output::Json);
  EXPECT_TRUE(result.complete());
  buffer.resize(result.length);
  return buffer;
}

// The document, failing the test when an object holds a key twice (the
// parser alone would keep the last).
json parse_unique(const std::string& text) {
  std::vector<std::set<std::string>> open;
  return json::parse(text, [&open](int, json::parse_event_t event, json& parsed) {
    if (event == json::parse_event_t::object_start) open.emplace_back();
    if (event == json::parse_event_t::object_end) open.pop_back();
    if (event == json::parse_event_t::key) {
      EXPECT_TRUE(open.back().insert(parsed.get<std::string>()).second) << "a key twice: " << parsed;
    }
    return true;
  });
}

std::string format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string hex(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (const std::uint8_t b : bytes) text += format("%02x", b);
  return text;
}

// The samples, the longest pages, pages of each vendor layout and of the
// late revisions, and random pages of both layouts.
std::vector<ParamPage> test_pages() {
  std::vector<ParamPage> pages;
  for (const std::string& file :
       {kSamples + "/mt29f1g08abbda3w.onfi.bin", kSamples + "/mt29f32g08abcdbj4.onfi.bin",
        kSamples + "/tv256g08mdt4b.jedec.bin", kFuzzCorpus + "/longest.onfi.bin",
        kFuzzCorpus + "/longest.jedec.bin", kFuzzCorpus + "/longest-json.onfi.bin",
        kFuzzCorpus + "/longest-json.jedec.bin"})
    pages.push_back(PageBuilder::from_file(file).page());
  pages.push_back(PageBuilder::onfi().text(32, "Macronix").u8(64, 0xC2).fill(166, 254, 3).le16(4, 0x1000));
  std::mt19937 random(20302);
  for (int k = 0; k < 60; ++k) {
    ParamPage page{};
    for (std::uint8_t& b : page.bytes) b = static_cast<std::uint8_t>(random() & 0xFFU);
    std::memcpy(page.bytes, k % 2 ? "ONFI" : "JESD", 4);
    // Printable texts on every third page, so that its header is compared;
    // ONFI revisions before 5.0 on every fourth; Micron's vendor block.
    if (k % 3 == 0) {
      for (std::size_t i = 32; i < 64; ++i) page.bytes[i] = static_cast<std::uint8_t>(0x20 + random() % 95);
    }
    if (k % 4 == 1) page.bytes[5] &= 0x0F;
    if (k % 10 == 3) std::memcpy(page.bytes + 32, "MICRON", 6), page.bytes[64] = 0x2C;
    pages.push_back(page);
  }
  return pages;
}

// The members of the blocks that hold fields, in document order, with
// their JSON Pointers; a record array's members one record after another.
struct Member {
  std::string pointer;
  std::string key;
  json value;
};
std::vector<Member> field_members(const json& d) {
  std::vector<Member> members;
  bool in_blocks = false;
  for (const auto& [block, node] : d.items()) {
    if (block == "timing_modes") break;
    if (!in_blocks) {
      in_blocks = block == "fields_not_defined";
      continue;
    }
    for (const auto& [key, value] : node.items()) {
      // The vendor layout's name, and what stands beside a maker ID.
      if (key == "layout" || key == "jedec_manufacturer_name" || key == "jedec_manufacturer_id_bytes")
        continue;
      if (!value.is_array()) {
        members.push_back({"/" + block + "/" + key, key, value});
        continue;
      }
      for (std::size_t k = 0; k < value.size(); ++k) {
        EXPECT_EQ(value[k]["index"], k);
        for (const auto& [field, member] : value[k].items()) {
          if (field != "index" && field != "empty")
            members.push_back(
                {"/" + block + "/" + key + "/" + std::to_string(k) + "/" + field, field, member});
        }
      }
    }
  }
  return members;
}

// What a field's member holds: its stored bytes, exactly, in the form of
// its kind.
json expected_member(const FieldList& list, const FieldRef& ref) {
  const FieldInfo& info = *ref.info;
  const Field& f = *ref.field;
  const json low = f.raw & 15U;
  const json high = f.raw >> 4 & 15U;
  switch (info.kind) {
    case FieldKind::Number:
      if (info.unit == Unit::TenthPicofarads || info.unit == Unit::Tenths) return f.raw / 10.0;
      return f.value;
    case FieldKind::Modes:
    case FieldKind::MakerId:
      return f.raw & (info.kind == FieldKind::MakerId ? 0xFFU : ~0U);
    case FieldKind::Flags:
    case FieldKind::Revision: {
      json set = json::array();
      for (const FlagText& flag : info.bits()) {
        if (flag_set(flag, f.value, list.revision)) set.push_back(flag_name(flag));
      }
      return {{"value", f.raw}, {"set", set}};
    }
    case FieldKind::AddressCycles:
      return {{"row", low}, {"column", high}};
    case FieldKind::WarmupCycles:
      return {{"data_output", low}, {"data_input", high}};
    case FieldKind::PlaneBits:
      return {{"value", f.raw}, {"bits", low}, {"planes", 1U << (f.raw & 15U)}};
    case FieldKind::CellBits:
      return {{"value", f.raw}, {"cell_type", cell_type(f.raw).empty() ? json() : json(cell_type(f.raw))}};
    case FieldKind::EccBits:
      return {{"value", f.raw}, {"in_extended_page", f.raw == 255}};
    case FieldKind::Date:
      return f.raw == 0 ? json() : json({{"year_of_century", f.raw & 0xFFU}, {"week", f.raw >> 8}});
    case FieldKind::Endurance: {
      json e = {{"mantissa", f.raw & 0xFFU},
                {"exponent", f.raw >> 8},
                {"cycles", f.exact ? json(f.value) : json()}};
      if (!f.exact) e["reason"] = "more than 2^64 cycles";
      return e;
    }
    case FieldKind::CodewordSize:
      return {{"exponent", f.raw}, {"bytes", f.raw >= 1 && f.raw <= 63 ? json(1ULL << f.raw) : json()}};
    case FieldKind::Vendor:
      return hex(list.bytes.subspan(ref.base + info.first, info.size()));
    default:
      ADD_FAILURE() << info.key() << ": a field of this kind has no member";
      return {};
  }
}

TEST(JsonDocument, EveryFieldOfTheModelInItsPlaceAndExact) {
  for (const ParamPage& page : test_pages()) {
    PageModel model;
    ASSERT_NE(parse_page(page.bytes, model), Layout::None);
    const FieldList list = model.layout == Layout::Onfi ? list_fields(model.onfi) : list_fields(model.jedec);
    const json d = parse_unique(decode_json(page));
    const std::vector<Member> members = field_members(d);
    std::set<std::string> not_defined;
    std::size_t m = 0;
    for (const FieldRef& ref : list.fields()) {
      const FieldKind kind = ref.info->kind;
      if (kind == FieldKind::Signature || kind == FieldKind::Text || kind == FieldKind::Crc ||
          kind == FieldKind::Reserved)
        continue;
      ASSERT_LT(m, members.size()) << ref.info->key() << ": no member";
      ASSERT_EQ(members[m].key, ref.info->key()) << members[m].pointer;
      EXPECT_EQ(members[m].value, expected_member(list, ref)) << members[m].pointer;
      if (kind == FieldKind::MakerId) {
        // Beside the ID: the maker it stands for, and all its bytes.
        const Maker* maker = find_maker(static_cast<std::uint8_t>(ref.field->raw));
        const json& block = d["manufacturer_information"];
        EXPECT_EQ(block["jedec_manufacturer_name"], maker != nullptr ? json(maker->name()) : json());
        if (ref.info->size() > 1) {
          EXPECT_EQ(block["jedec_manufacturer_id_bytes"],
                    hex(list.bytes.subspan(ref.info->first, ref.info->size())));
        }
      }
      if (!ref.field->defined) not_defined.insert(members[m].pointer);
      ++m;
    }
    EXPECT_EQ(m, members.size()) << "members without a field";
    EXPECT_EQ(d["fields_not_defined"].get<std::set<std::string>>(), not_defined);
    EXPECT_EQ(d["fields_not_defined"].size(), not_defined.size());
    EXPECT_EQ(decode_json(page, 0), decode_json(page)) << "the level changed the document";
  }
}

// One line of the text report and its values as the document holds them;
// nullopt when the page has no such line. A value may run over lines (a
// flag word and the names of its set bits).
struct TextLine {
  Layout layout;  // None: both
  std::string label;
  std::function<std::optional<std::string>(const json&)> expect;
};

unsigned long long u(const json& d, const std::string& pointer) {
  return d.at(json::json_pointer(pointer)).get<unsigned long long>();
}
// Up to three members through a printf format.
auto values(const char* text, std::vector<std::string> pointers) {
  return [=](const json& d) -> std::optional<std::string> {
    unsigned long long v[3] = {};
    for (std::size_t i = 0; i < pointers.size(); ++i) v[i] = u(d, pointers[i]);
    return format(text, v[0], v[1], v[2]);
  };
}
auto number(std::string pointer) { return values("%llu", {pointer}); }
auto tenths(std::string pointer) {
  return [=](const json& d) { return format("%.1f", d.at(json::json_pointer(pointer)).get<double>()); };
}
// A flag word's line and the names of its set bits. shown: whether the text
// shows the word (default: always).
auto flags(const char* head, std::string pointer, std::function<bool(const json&)> shown = nullptr) {
  return [=](const json& d) -> std::optional<std::string> {
    const json& word = d.at(json::json_pointer(pointer));
    if (shown && !shown(d)) return std::nullopt;
    std::string text = format(head, word["value"].get<unsigned>());
    for (const json& name : word["set"]) text += "\n " + name.get<std::string>();
    return text;
  };
}
auto nonzero(std::string pointer) {
  return [=](const json& d) { return u(d, pointer + "/value") != 0; };
}
// The endurance figure as the report has always computed it: wrapping at
// 32 bits, and (marked) the stored word beside a figure the device can
// hardly mean.
auto endurance(std::string pointer, bool marked = true) {
  return [=](const json& d) -> std::optional<std::string> {
    const json& e = d.at(json::json_pointer(pointer));
    const unsigned mantissa = e["mantissa"];
    const unsigned exponent = e["exponent"];
    std::uint32_t value = mantissa;
    for (unsigned i = 0; e["cycles"].is_null() && i < exponent; ++i) value *= 10;
    if (!e["cycles"].is_null()) value = static_cast<std::uint32_t>(e["cycles"].get<std::uint64_t>());
    if (marked && (value > 100000 || exponent > 5))
      return format("%u (%u?)", value, exponent << 8 | mantissa);
    return format("%u", value);
  };
}
auto family(const char* head, std::string key, const char* unit) {
  return [=](const json& d) -> std::optional<std::string> {
    const json& f = d["timing_modes"][key];
    if (f["mask"] == 0) return std::nullopt;
    const std::string speed =
        f["fastest_rate"].is_null() ? "" : format(unit, f["fastest_rate"].get<unsigned>());
    return format(head, f["mask"].get<unsigned>()) + speed + ")";
  };
}
// "total (data+spare)", the total wrapping at 32 bits.
auto size_sum(std::string data, std::string spare, std::function<bool(const json&)> shown = nullptr) {
  return [=](const json& d) -> std::optional<std::string> {
    if (shown && !shown(d)) return std::nullopt;
    return format("%u (%llu+%llu)", static_cast<std::uint32_t>(u(d, data) + u(d, spare)), u(d, data),
                  u(d, spare));
  };
}
// A byte of the ONFI vendor block from the member that holds it in the
// page's vendor layout.
auto vendor_byte(unsigned at, const char* micron_key) {
  return [=](const json& d) {
    const json& v = d["vendor"];
    if (v["layout"] == "Micron") return format("%u", v[micron_key].get<unsigned>());
    const unsigned first = at >= 238 ? 238 : v["layout"] == "Macronix" ? 168 : 166;
    const std::string bytes = v[at >= 238 ? "vendor_specific_2" : "vendor_specific"];
    return format("%lu", std::stoul(bytes.substr(2 * (at - first), 2), nullptr, 16));
  };
}

std::vector<TextLine> text_lines() {
  constexpr Layout O = Layout::Onfi;
  constexpr Layout J = Layout::Jedec;
  constexpr Layout B = Layout::None;
  const auto revision = [](const json& d) { return u(d, "/revision_and_features/revision/value"); };
  const auto not_late = [=](const json& d) { return (revision(d) & 0x7000) == 0; };
  const auto partial = [=](const json& d) {
    return (revision(d) & 0x1000) == 0 && u(d, "/memory_organization/data_bytes_per_partial_page") != 0;
  };
  // The newest revision the page names (ONFI's after a blank).
  const auto version = [](bool blank) {
    return [=](const json& d) {
      const json& set = d["revision_and_features"]["revision"]["set"];
      return format("0x%x (%s%s)", d["revision_and_features"]["revision"]["value"].get<unsigned>(),
                    blank && !set.empty() ? " " : "",
                    set.empty() ? "" : set.back().get<std::string>().c_str());
    };
  };
  const std::string rf = "/revision_and_features/";
  const std::string mo = "/memory_organization/";
  const std::string ep = "/electrical_parameters/";
  std::vector<TextLine> rows = {
      {B, "JEDEC MID : ", values("0x%02llX", {"/manufacturer_information/jedec_manufacturer_id"})},
      {O, "ONFI ver  : ", version(true)},
      {J, "JEDEC ver : ", version(false)},
      {O, "Features supported: ", flags("0x%04x", rf + "features")},
      {J, "Features supported: ", flags("0x%04x", rf + "features", nonzero(rf + "features"))},
      {O, "Optional commands supported: ", flags("0x%04x", rf + "optional_commands")},
      {J, "Optional commands supported: ",
       flags("0x%04x", rf + "optional_commands", nonzero(rf + "optional_commands"))},
      {J, "Secondary commands supported: ",
       flags("0x%04x", rf + "secondary_commands", nonzero(rf + "secondary_commands"))},
      {O, "ONFI-JEDEC JTG primary advanced command support: ",
       flags("0x%04x", rf + "jtg_primary_advanced_commands")},
      {O, "Training commands supported: ", flags("0x%04x", rf + "training_commands")},
      {O, "Training commands supported[15]: ", flags("0x%04x", rf + "training_commands_2")},
      {O, "EPP Len   : ", number(rf + "extended_parameter_page_length_bytes")},
      {O, "PP Num    : ", number(rf + "parameter_page_count")},
      {J, "ParPageNum: ", number(rf + "parameter_page_count")},
      {B, "Page size : ", size_sum(mo + "data_bytes_per_page", mo + "spare_bytes_per_page")},
      {O, "Partial page size : ",
       size_sum(mo + "data_bytes_per_partial_page", mo + "spare_bytes_per_partial_page", partial)},
      {B, "Page/Block: ", number(mo + "pages_per_block")},
      {B, "Block/LUN : ", number(mo + "blocks_per_lun")},
      {B, "LUN/Chip  : ", number(mo + "luns")},
      {B, "Row+ColAdr: ", values("%llu+%llu", {mo + "address_cycles/row", mo + "address_cycles/column"})},
      {B, "Bit/Cell  : ",
       [=](const json& d) {
         const json& type = d.at(json::json_pointer(mo + "bits_per_cell/cell_type"));
         return format("%llu (%s)", u(d, mo + "bits_per_cell/value"),
                       type.is_null() ? "" : type.get<std::string>().c_str());
       }},
      {O, "MaxBB/LUN : ", number(mo + "max_bad_blocks_per_lun")},
      {O, "Endurance : ", endurance(mo + "block_endurance")},
      {O, "Valid Beg : ", number(mo + "guaranteed_valid_blocks")},
      {J, "Valid Beg : ", number("/ecc_and_endurance/guaranteed_valid_blocks")},
      {O, "ValidEndur: ", endurance(mo + "guaranteed_valid_block_endurance", false)},
      {J, "ValidEndur: ", endurance("/ecc_and_endurance/guaranteed_valid_block_endurance", false)},
      {B, "ProgPage  : ", number(mo + "programs_per_page")},
      {O, "PartPrgAtt: ",
       [=](const json& d) -> std::optional<std::string> {
         if (!partial(d)) return std::nullopt;
         return format("%llu", u(d, mo + "partial_programming_attributes/value"));
       }},
      {O, "BitCorrECC: ",
       [=](const json& d) {
         return u(d, mo + "ecc_bits/value") == 255 ? std::string("See EPP")
                                                   : format("%llu", u(d, mo + "ecc_bits/value"));
       }},
      {B, "PlanAdrBit: ",
       [=](const json& d) {
         const auto bits = u(d, mo + "plane_address_bits/bits");
         return format("%llu (%s%llu plane)", bits, bits >= 3 ? "upto " : "",
                       u(d, mo + "plane_address_bits/planes"));
       }},
      {O, "Multi-plane operation attributes: ", flags("0x%02x", mo + "multi_plane_attributes")},
      {J, "Multi-plane operation attributes: ",
       flags("0x%02x", mo + "multi_plane_attributes", nonzero(mo + "multi_plane_attributes"))},
      {O, "EZ NAND support: ", flags("0x%02x", mo + "ez_nand", not_late)},
      {O, "Async     : ", family("0x%03x (", "sdr", "upto %u MHz")},
      {O, "NV-DDR    : ", family("0x%03x (", "nv_ddr", "upto %u MT")},
      {O, "NV-DDR2   : ", family("0x%03x (", "nv_ddr2", "upto %u MT")},
      {O, "NV-DDR3   : ", family("0x%03x (", "nv_ddr3", "upto %u MT")},
      {O, "NV-LPDDR4 : ", family("0x%03x (", "nv_lpddr4", "upto %u MT")},
      {J, "Async     : ", family("0x%x (", "async_sdr", "upto %u MHz")},
      {J, "ToggleDDR2: ", family("0x%03x (", "toggle_ddr2", "upto %u MHz")},
      {J, "Sync-DDR  : ", family("0x%x (", "sync_ddr", "upto %u MHz")},
      {J, "ToggleDDR3: ", family("0x%03x (", "toggle_ddr3", "upto %u MHz")},
      {J, "ToggleDDR4: ", family("0x%03x (", "toggle_ddr4", "upto %u MHz")},
      {J, "Synchronous DDR features: ",
       flags("0x%02x", ep + "sync_ddr_features", nonzero(ep + "sync_ddr_features"))},
      {O, "warmup i/o: ",
       values("%llu/%llu", {ep + "warmup_cycles/data_input", ep + "warmup_cycles/data_output"})},
      {O, "Max tProg : ", number(ep + "t_prog_max_us")},
      {O, "Max tBers : ", number(ep + "t_bers_max_us")},
      {O, "Max tR    : ", number(ep + "t_r_max_us")},
      {O, "Min tCCS  : ", number(ep + "t_ccs_min_ns")},
      {O, "Min tRmp  : ", number(ep + "t_r_multi_plane_max_us")},
      {O, "Min tAdl  : ", number(ep + "t_adl_ns")},
      {O, "Max I/O C : ", number(ep + "io_capacitance_max_pf")},
      {O, "Typ CLK C : ", tenths(ep + "clk_capacitance_typ_pf")},
      {O, "Typ I/O C : ", tenths(ep + "io_capacitance_typ_pf")},
      {O, "Typ Inp C : ", tenths(ep + "input_capacitance_typ_pf")},
      {O, "Max Inp C : ", number(ep + "input_capacitance_max_pf")},
      {J, "Max tProg : ", number(ep + "t_prog_max")},
      {J, "Max tBers : ", number(ep + "t_bers_max")},
      {J, "Max tR    : ", number(ep + "t_r_max")},
      {J, "Min tRmp  : ", number(ep + "t_r_multi_plane_max")},
      {J, "Min tCCS  : ", number(ep + "t_ccs_min")},
      {J, "Typ I/O C : ", tenths(ep + "io_capacitance_typ")},
      {J, "Typ Inp C : ", tenths(ep + "input_capacitance_typ")},
      {J, "Typ CK C  : ", tenths(ep + "ck_capacitance_typ")},
      {J, "tADL,ns   : ", number(ep + "t_adl_ns")},
      {J,
       "Driver strength support: ", flags("0x%02x", ep + "driver_strength", nonzero(ep + "driver_strength"))},
      {O, "Vendor Block:", [](const json&) { return std::string(); }},
      {O, "VendorRev : ", number("/vendor/vendor_revision")},
      {O, "ParPageRev: ", vendor_byte(253, "micron_parameter_page_revision")},
      {O, "ReadRetry : ", vendor_byte(180, "read_retry_options")},
      {J, "Vendor Rev: ", number("/vendor/vendor_revision")},
      {B, "CRC16     : ",
       [=](const json& d) -> std::optional<std::string> {
         if (d["layout"] == "JEDEC" && (revision(d) & 4) == 0) return std::nullopt;
         return format("0x%04llX - %s", u(d, "/crc/stored"), d["crc"]["ok"] ? "Ok" : "Wrong");
       }},
  };
  for (unsigned k = 0; k < 4; ++k) {
    const std::string at = format("/ecc_and_endurance/ecc_blocks/%u/", k);
    rows.push_back({J, format("ECC and endurance information block %u:", k),
                    [=](const json& d) -> std::optional<std::string> {
                      if (d.at(json::json_pointer(at + "empty"))) return std::nullopt;
                      return *values("\nBitCorrECC: %llu\nCodewordSz: %llu\nMaxBB/LUN : %llu\nEndurance : ",
                                     {at + "ecc_bits", at + "codeword_size/exponent",
                                      at + "max_bad_blocks_per_lun"})(d) +
                             *endurance(at + "block_endurance")(d);
                    }});
  }
  return rows;
}

bool printable(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

// The header line: label, maker and model as the page pads them, the date
// where given, the stored CRC and its marker. Texts with other bytes than
// printable ASCII reach the terminal in another form: only the rest of the
// line is compared then.
void expect_header(const std::string& line, const json& d) {
  const bool jedec = d["layout"] == "JEDEC";
  const std::string label = jedec ? "JEDEC     : " : "ONFI      : ";
  std::string tail = format(" [%04llX%s]", u(d, "/crc/stored"), d["crc"]["ok"] ? "" : "*");
  if (!jedec && !d["manufacturer_information"]["date_code"].is_null()) {
    tail = format(" (20%02llu-%02llu)", u(d, "/manufacturer_information/date_code/year_of_century"),
                  u(d, "/manufacturer_information/date_code/week")) +
           tail;
  }
  ASSERT_TRUE(line.starts_with(label) && line.ends_with(tail)) << line;
  const std::string manufacturer = d["manufacturer"];
  const std::string model = d["model"];
  if (!printable(manufacturer + model)) return;
  // "%s %s": each text with its padding spaces.
  std::string middle = line.substr(label.size(), line.size() - label.size() - tail.size());
  ASSERT_TRUE(middle.starts_with(manufacturer)) << line;
  middle.erase(0, manufacturer.size());
  while (!middle.empty() && middle.back() == ' ') middle.pop_back();
  ASSERT_TRUE(middle.ends_with(model)) << line;
  middle.erase(middle.size() - model.size());
  EXPECT_EQ(middle.find_first_not_of(' '), std::string::npos) << line;
}

// One source of truth: every line of the level-2 report is one of the
// table's, its values the document's, and the lines the table expects
// absent are absent.
TEST(JsonDocument, EveryTextLineHoldsTheDocumentsValues) {
  const std::vector<TextLine> rows = text_lines();
  for (const ParamPage& page : test_pages()) {
    const json d = parse_unique(decode_json(page));
    const Layout layout = d["layout"] == "JEDEC" ? Layout::Jedec : Layout::Onfi;
    std::vector<std::string> lines;
    const std::string text = decode(page, 2);
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
      lines.push_back(text.substr(at, end - at));
    std::vector<bool> seen(lines.size());
    // A line end among the texts' bytes splits the header.
    const std::string stamp = format("%04llX%s]", u(d, "/crc/stored"), d["crc"]["ok"] ? "" : "*");
    std::size_t header = 0;
    while (header + 1 < lines.size() && !lines[header].ends_with(stamp)) seen[header++] = true;
    seen[header] = true;
    if (header == 0) expect_header(lines[0], d);
    for (const TextLine& row : rows) {
      if (row.layout != Layout::None && row.layout != layout) continue;
      std::size_t i = 0;
      while (i < lines.size() && (seen[i] || !lines[i].starts_with(row.label))) ++i;
      const std::optional<std::string> expected = row.expect(d);
      if (!expected) {
        EXPECT_EQ(i, lines.size()) << row.label << " is a line of this page: " << d.dump();
        continue;
      }
      ASSERT_LT(i, lines.size()) << row.label << " is not a line of this page";
      std::string line = row.label;
      for (std::size_t at = 0, end = 0; end != std::string::npos; at = end + 1, ++i) {
        end = expected->find('\n', at);
        line += expected->substr(at, end == std::string::npos ? end : end - at);
        ASSERT_LT(i, lines.size()) << line;
        EXPECT_EQ(lines[i], line);
        seen[i] = true;
        line.clear();
      }
    }
    for (std::size_t i = 0; i < lines.size(); ++i)
      EXPECT_TRUE(seen[i]) << "no value of the document: " << lines[i];
  }
}

// Valid UTF-8 stays UTF-8; controls and bytes that are no part of valid
// UTF-8 become \u00XX.
TEST(JsonDocument, StringsWithoutPaddingKeepUtf8AndEscapeControlsAndStrayBytes) {
  const struct {
    std::string manufacturer;  // 12 bytes at most
    std::string model;
    const char* expected;
  } cases[] = {
      {"PLAIN  ", "MODEL 1", R"("manufacturer":"PLAIN","model":"MODEL 1",)"},
      {"  LEADING", " ", R"("manufacturer":"  LEADING","model":"",)"},
      {std::string("A\x01\"\\\x7F", 5), "\x80\xFF\x1F ~",
       R"("manufacturer":"A\u0001\"\\\u007f","model":"\u0080\u00ff\u001f ~",)"},
      {std::string("AB \0CD", 6), "", R"("manufacturer":"AB","model":"",)"},
      {"caf\xC3\xA9 \xE2\x82\xAC", "\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",
       "\"manufacturer\":\"caf\xC3\xA9 \xE2\x82\xAC\",\"model\":\"\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF\","},
      // C1 controls are escaped as the code points they are.
      {"\xC2\x9B"
       "31m\xC2\xA0",
       "", R"("manufacturer":"\u009b31m)"
           "\xC2\xA0"
           R"(","model":"",)"},
      // Overlong, surrogate, beyond U+10FFFF, cut short, a lone continuation.
      {"\xC0\xAF\xED\xA0\x80", "\xF4\x90\x80\x80\xE2\x82 \xBF",
       R"("manufacturer":"\u00c0\u00af\u00ed\u00a0\u0080","model":"\u00f4\u0090\u0080\u0080\u00e2\u0082 \u00bf",)"},
      {"\t\n\r", "", R"("manufacturer":"\u0009\u000a\u000d","model":"",)"},
      {"ABCDEFGH~\x7F", "01234567\\ABCDEFGHIJK",
       R"("manufacturer":"ABCDEFGH~\u007f","model":"01234567\\ABCDEFGHIJK",)"},
  };
  for (const auto& c : cases) {
    for (const bool jedec : {false, true}) {
      PageBuilder page = jedec ? PageBuilder::jedec() : PageBuilder::onfi();
      page.fill(32, 64, ' ');
      const std::string document = decode_json(page.text(32, c.manufacturer).text(44, c.model));
      EXPECT_NE(document.find(c.expected), std::string::npos) << document;
    }
  }
}

// What the text report cannot hold, or holds in its own way.
TEST(JsonDocument, ExactValuesAndTheirMarks) {
  const struct {
    const char* what;
    PageBuilder page;
    const char* pointer;
    const char* expected;  // the member's JSON text
  } cases[] = {
      {"endurance past 32 bits", PageBuilder::onfi().u8(105, 9).u8(106, 9),
       "/memory_organization/block_endurance", R"({"mantissa":9,"exponent":9,"cycles":9000000000})"},
      {"endurance past 64 bits", PageBuilder::onfi().u8(105, 19).u8(106, 18),
       "/memory_organization/block_endurance",
       R"({"mantissa":19,"exponent":18,"cycles":null,"reason":"more than 2^64 cycles"})"},
      {"a codeword of 2^63 bytes", PageBuilder::jedec().u8(212, 63),
       "/ecc_and_endurance/ecc_blocks/0/codeword_size", R"({"exponent":63,"bytes":9223372036854775808})"},
      {"a rate in MT/s", PageBuilder::onfi().u8(141, 0x1F), "/timing_modes/nv_ddr",
       R"({"mask":31,"fastest_mode":4,"fastest_rate":166,"rate_unit":"MT/s"})"},
      {"a mask above the named modes", PageBuilder::onfi().le16(129, 0x40), "/timing_modes/sdr",
       R"({"mask":64,"fastest_mode":null,"fastest_rate":null,"rate_unit":"MHz"})"},
      {"NV-DDR2 modes 8-15 from byte 162", PageBuilder::onfi().le16(4, 0x0200).u8(142, 1).u8(162, 4),
       "/timing_modes/nv_ddr2/fastest_rate", "800"},
      {"JEDEC rates are clock rates", PageBuilder::jedec().le32(176, 0x100000), "/timing_modes/toggle_ddr4",
       R"({"mask":1048576,"fastest_mode":20,"fastest_rate":1800,"rate_unit":"MHz"})"},
      {"fields a 5.0 page does not define", PageBuilder::onfi().le16(4, 0x1000), "/fields_not_defined",
       R"(["/memory_organization/data_bytes_per_partial_page","/memory_organization/spare_bytes_per_partial_page",)"
       R"("/memory_organization/partial_programming_attributes","/memory_organization/ez_nand"])"},
      {"Micron's vendor block needs its ID and its name",
       PageBuilder::onfi().u8(64, 0x2C).text(32, "SPANSION"), "/vendor/layout", "null"},
      {"a JEDEC ECC block with only a reserved byte", PageBuilder::jedec().u8(219 + 6, 1),
       "/ecc_and_endurance/ecc_blocks/1/empty", "false"},
  };
  for (const auto& c : cases) {
    const json document = parse_unique(decode_json(c.page));
    EXPECT_EQ(document.at(json::json_pointer(c.pointer)).dump(), c.expected) << c.what;
  }
}

TEST(JsonDocument, BoundedLikeTheTextAndMeasuredLongest) {
  EXPECT_EQ(decode_json(ParamPage{}), R"({"format_version":2,"version":")" + kVersionText +
                                          R"(","layout":null,"crc":null,"manufacturer":null,"model":null})");
  const ParamPage page = PageBuilder::onfi().text(32, "\x01\"\\").fill(44, 64, 0xFF).page();
  const std::string full = decode_json(page);
  for (std::size_t room = 1; room <= full.size(); ++room) {
    std::string buffer(room + 8, '#');
    const DecodeResult cut = decode_page(page, std::span<char>(buffer.data(), room), 2, Output::Json);
    ASSERT_EQ(cut.needed, full.size()) << room;
    ASSERT_EQ(cut.length, room - 1) << room;
    ASSERT_EQ(buffer.substr(0, room), full.substr(0, room - 1) + '\0') << room;
    ASSERT_EQ(buffer.substr(room), std::string(8, '#')) << room;
  }
  // Found by tolvik_longest --json; a longer document means a section
  // changed: measure again, and update kJsonCapacity's comment and the fuzz
  // target.
  EXPECT_EQ(decode_json(PageBuilder::from_file(kFuzzCorpus + "/longest-json.onfi.bin")).size(), 6700U);
  EXPECT_EQ(decode_json(PageBuilder::from_file(kFuzzCorpus + "/longest-json.jedec.bin")).size(), 4756U);
}

TEST(JsonCommand, ExitStatusAndMessagesWithTheirSeverity) {
  TempDir dir;
  const std::string sample = read_file(kSamples + "/mt29f32g08abcdbj4.onfi.bin");
  const std::string jedec = read_file(kSamples + "/tv256g08mdt4b.jedec.bin");
  write_file(dir.file("onfi256.bin"), sample.substr(0, 256));
  write_file(dir.file("page.bin"), sample + std::string(256, '\0'));
  write_file(dir.file("short.bin"), sample.substr(0, 100));
  write_file(dir.file("jedec300.bin"), jedec.substr(0, 300));
  write_file(dir.file("none.bin"), std::string(512, 'x'));
  write_file(dir.file("none300.bin"), std::string(300, 'x'));
  write_file(dir.file("bad.hex"), "not hex at all\n");
  using Messages = std::vector<std::pair<std::string, std::string>>;
  const struct {
    std::vector<std::string> options;
    const char* file;
    Messages messages;
    const char* read_back = nullptr;  // the name as a JSON reader reads it, when not file
  } cases[] = {
      {{}, "page.bin", {}},
      {{}, "onfi256.bin", {{"Read file Error", "info"}}},
      {{}, "short.bin", {{"Read file Error", "warning"}}},
      {{}, "jedec300.bin", {{"Read file Error", "warning"}}},
      {{}, "none.bin", {}},
      {{}, "none300.bin", {{"Read file Error", "warning"}}},
      {{}, "missing.bin", {{"Open file Error", "error"}}},
      {{"-x"}, "bad.hex", {{"Hex text Error: line 1", "error"}}},
      {{"-a"}, "onfi256.bin", {}},
      {{"-a"}, "short.bin", {{"Read file Error", "warning"}}},
      // A UTF-8 name reads back as written; a stray byte and a control as
      // the code points of their byte values.
      {{}, "caf\xC3\xA9.bin", {{"Open file Error", "error"}}},
      {{}, "\xFF\x01.bin", {{"Open file Error", "error"}}, "\xC3\xBF\x01.bin"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.options;
    args.push_back(dir.file(c.file));
    const RunResult text = run_tolvik(args);
    args.insert(args.begin(), "-j");
    const RunResult run = run_tolvik(args);
    EXPECT_EQ(run.status, text.status) << c.file;
    ASSERT_TRUE(run.out.starts_with(R"({"format_version":2,)") && run.out.ends_with("}\n")) << run.out;
    EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << c.file;
    const json document = parse_unique(run.out);
    EXPECT_EQ(document["file"], dir.file(c.read_back != nullptr ? c.read_back : c.file)) << c.file;
    // An input without a page also says, as an error, what the check found
    // it to hold.
    Messages messages = c.messages;
    const std::string path = dir.file(c.file);
    const std::string bytes = c.options.empty() && std::filesystem::exists(path) ? read_file(path) : "";
    Findings findings{};
    // An input that was not read says so, and nothing more.
    const bool read = c.messages.empty() || c.messages.front().second != "error";
    if (document["layout"].is_null() && read) {
      check_no_page({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, findings);
      if (findings.count != 0) messages.emplace_back(findings.items[0].message, "error");
    }
    json expected = json::array();
    for (const auto& [message, severity] : messages)
      expected.push_back({{"text", message}, {"severity", severity}});
    EXPECT_EQ(document["messages"], expected) << c.file;
    for (const auto& [message, severity] : c.messages) {
      EXPECT_NE(text.out.find("\n" + message + "\n"), std::string::npos) << c.file << ": not in the text run";
    }
  }
}

}  // namespace
}  // namespace tolvik::test

// The JSON document against the text report of the same page: the same
// values under their names, the same flag texts, the same header fields with
// their odd bytes escaped, and the command's exit status and messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <string_view>
#include <vector>

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

// A JSON string's code points back as the bytes the page held: every byte
// stands for the code point of its value.
std::string page_bytes(const json& text) {
  std::string bytes;
  const std::string utf8 = text.get<std::string>();
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else {
      EXPECT_LT(c, 0xC4) << "a code point above U+00FF";
      bytes += static_cast<char>((c & 0x03U) << 6 | (static_cast<unsigned char>(utf8[++i]) & 0x3FU));
    }
  }
  return bytes;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

// One value of a text line: the line is found by its label; hex values
// follow "0x", decimal ones are the index-th number after the label.
struct Agreement {
  const char* pointer;
  const char* label;
  int index;  // -1: a hex value right after the label
};

constexpr Agreement kOnfiAgreements[] = {
    {"/identification/jedec_manufacturer_id", "JEDEC MID : 0x", -1},
    {"/identification/revision/value", "ONFI ver  : 0x", -1},
    {"/identification/features/value", "Features supported: 0x", -1},
    {"/identification/optional_commands/value", "Optional commands supported: 0x", -1},
    {"/identification/jtg_commands/value", "ONFI-JEDEC JTG primary advanced command support: 0x", -1},
    {"/identification/training_commands/value", "Training commands supported: 0x", -1},
    {"/identification/training_commands_2/value", "Training commands supported[15]: 0x", -1},
    {"/identification/extended_page_length_bytes", "EPP Len   : ", 0},
    {"/identification/parameter_page_count", "PP Num    : ", 0},
    {"/organisation/page_size_bytes", "Page size : ", 0},
    {"/organisation/page_data_bytes", "Page size : ", 1},
    {"/organisation/page_spare_bytes", "Page size : ", 2},
    {"/organisation/pages_per_block", "Page/Block: ", 0},
    {"/organisation/blocks_per_lun", "Block/LUN : ", 0},
    {"/organisation/luns_per_chip", "LUN/Chip  : ", 0},
    {"/organisation/row_address_cycles", "Row+ColAdr: ", 0},
    {"/organisation/column_address_cycles", "Row+ColAdr: ", 1},
    {"/organisation/bits_per_cell/value", "Bit/Cell  : ", 0},
    {"/organisation/max_bad_blocks_per_lun", "MaxBB/LUN : ", 0},
    {"/organisation/endurance_cycles", "Endurance : ", 0},
    {"/organisation/valid_blocks_at_start", "Valid Beg : ", 0},
    {"/organisation/valid_block_endurance_cycles", "ValidEndur: ", 0},
    {"/organisation/programs_per_page", "ProgPage  : ", 0},
    {"/organisation/plane_address_bits", "PlanAdrBit: ", 0},
    {"/organisation/planes", "PlanAdrBit: ", 1},
    {"/organisation/multi_plane/value", "Multi-plane operation attributes: 0x", -1},
    {"/timing_modes/async/value", "Async     : 0x", -1},
    {"/timing_modes/nv_ddr/value", "NV-DDR    : 0x", -1},
    {"/timing_modes/nv_ddr2/value", "NV-DDR2   : 0x", -1},
    {"/timing_modes/nv_ddr3/value", "NV-DDR3   : 0x", -1},
    {"/timing_modes/nv_lpddr4/value", "NV-LPDDR4 : 0x", -1},
    {"/electrical/warmup_input_cycles", "warmup i/o: ", 0},
    {"/electrical/warmup_output_cycles", "warmup i/o: ", 1},
    {"/electrical/max_t_prog_us", "Max tProg : ", 0},
    {"/electrical/max_t_bers_us", "Max tBers : ", 0},
    {"/electrical/max_t_r_us", "Max tR    : ", 0},
    {"/electrical/min_t_ccs_ns", "Min tCCS  : ", 0},
    {"/electrical/min_t_rmp_us", "Min tRmp  : ", 0},
    {"/electrical/min_t_adl_ns", "Min tAdl  : ", 0},
    {"/electrical/max_io_capacitance_pf", "Max I/O C : ", 0},
    {"/electrical/typ_clk_capacitance_pf", "Typ CLK C : ", 0},
    {"/electrical/typ_io_capacitance_pf", "Typ I/O C : ", 0},
    {"/electrical/typ_input_capacitance_pf", "Typ Inp C : ", 0},
    {"/electrical/max_input_capacitance_pf", "Max Inp C : ", 0},
    {"/vendor/vendor_revision", "VendorRev : ", 0},
    {"/vendor/parameter_page_revision", "ParPageRev: ", 0},
    {"/vendor/read_retry", "ReadRetry : ", 0},
    {"/crc/stored", "CRC16     : 0x", -1},
};

constexpr Agreement kJedecAgreements[] = {
    {"/identification/jedec_manufacturer_id", "JEDEC MID : 0x", -1},
    {"/identification/revision/value", "JEDEC ver : 0x", -1},
    {"/identification/features/value", "Features supported: 0x", -1},
    {"/identification/optional_commands/value", "Optional commands supported: 0x", -1},
    {"/identification/secondary_commands/value", "Secondary commands supported: 0x", -1},
    {"/identification/parameter_page_count", "ParPageNum: ", 0},
    {"/organisation/page_size_bytes", "Page size : ", 0},
    {"/organisation/page_data_bytes", "Page size : ", 1},
    {"/organisation/page_spare_bytes", "Page size : ", 2},
    {"/organisation/pages_per_block", "Page/Block: ", 0},
    {"/organisation/blocks_per_lun", "Block/LUN : ", 0},
    {"/organisation/luns_per_chip", "LUN/Chip  : ", 0},
    {"/organisation/row_address_cycles", "Row+ColAdr: ", 0},
    {"/organisation/column_address_cycles", "Row+ColAdr: ", 1},
    {"/organisation/bits_per_cell/value", "Bit/Cell  : ", 0},
    {"/organisation/programs_per_page", "ProgPage  : ", 0},
    {"/organisation/plane_address_bits", "PlanAdrBit: ", 0},
    {"/organisation/planes", "PlanAdrBit: ", 1},
    {"/organisation/multi_plane/value", "Multi-plane operation attributes: 0x", -1},
    {"/timing_modes/async/value", "Async     : 0x", -1},
    {"/timing_modes/toggle_ddr2/value", "ToggleDDR2: 0x", -1},
    {"/timing_modes/sync_ddr/value", "Sync-DDR  : 0x", -1},
    {"/timing_modes/toggle_ddr3/value", "ToggleDDR3: 0x", -1},
    {"/timing_modes/toggle_ddr4/value", "ToggleDDR4: 0x", -1},
    {"/timing_modes/sync_ddr_features/value", "Synchronous DDR features: 0x", -1},
    {"/electrical/max_t_prog_us", "Max tProg : ", 0},
    {"/electrical/max_t_bers_us", "Max tBers : ", 0},
    {"/electrical/max_t_r_us", "Max tR    : ", 0},
    {"/electrical/min_t_rmp_us", "Min tRmp  : ", 0},
    {"/electrical/min_t_ccs_ns", "Min tCCS  : ", 0},
    {"/electrical/typ_io_capacitance_pf", "Typ I/O C : ", 0},
    {"/electrical/typ_input_capacitance_pf", "Typ Inp C : ", 0},
    {"/electrical/typ_clock_capacitance_pf", "Typ CK C  : ", 0},
    {"/electrical/t_adl_ns", "tADL,ns   : ", 0},
    {"/electrical/driver_strength/value", "Driver strength support: 0x", -1},
    {"/electrical/valid_blocks_at_start", "Valid Beg : ", 0},
    {"/electrical/valid_block_endurance_cycles", "ValidEndur: ", 0},
    {"/vendor/vendor_revision", "Vendor Rev: ", 0},
};

// The text of a value as its line shows it, or nullptr without the line.
std::string text_value(const std::vector<std::string>& lines, const Agreement& a, bool& found) {
  found = false;
  for (const std::string& line : lines) {
    if (!line.starts_with(a.label)) continue;
    found = true;
    const std::string rest = line.substr(std::string_view(a.label).size());
    if (a.index < 0) return rest.substr(0, rest.find_first_not_of("0123456789abcdefABCDEF"));
    int number = 0;
    for (std::size_t at = 0; (at = rest.find_first_of("0123456789", at)) != std::string::npos; ++number) {
      const std::size_t end = rest.find_first_not_of("0123456789.", at);
      if (number == a.index) return rest.substr(at, end - at);
      at = end;
    }
  }
  return "";
}

// Every value of the table agrees with its line; a member is null exactly
// where the text has no line for it.
void expect_agreement(const ParamPage& page, std::span<const Agreement> table, const std::string& what) {
  const std::vector<std::string> lines = lines_of(decode(page, 2));
  const json document = json::parse(decode_json(page));
  for (const Agreement& a : table) {
    const json::json_pointer pointer(a.pointer);
    // A flag word's value: its object, not the number, is what goes null.
    const json::json_pointer owner =
        std::string_view(a.pointer).ends_with("/value") ? pointer.parent_pointer() : pointer;
    bool found = false;
    const std::string shown = text_value(lines, a, found);
    ASSERT_TRUE(document.contains(owner)) << what << ": no " << a.pointer;
    if (!found) {
      EXPECT_TRUE(document[owner].is_null()) << what << ": " << a.pointer << " without a line";
      continue;
    }
    ASSERT_TRUE(document.contains(pointer)) << what << ": no " << a.pointer;
    const json& value = document[pointer];
    if (a.index < 0) {
      EXPECT_EQ(value.get<std::uint64_t>(), std::strtoull(shown.c_str(), nullptr, 16))
          << what << ": " << a.pointer;
    } else if (value.is_number_float()) {
      char figure[32];
      std::snprintf(figure, sizeof figure, "%.1f", value.get<double>());
      EXPECT_EQ(figure, shown) << what << ": " << a.pointer;
    } else {
      EXPECT_EQ(value.dump(), shown) << what << ": " << a.pointer;
    }
  }
}

// The flag lines of the text (those starting with a blank), against the
// "set" texts of every flag word in the document, in order.
void collect_set(const json& node, std::vector<std::string>& out) {
  if (node.is_object() && node.contains("set")) {
    for (const json& text : node["set"]) {
      std::string line(1, ' ');
      line += text.get_ref<const std::string&>();
      out.push_back(line);
    }
  }
  if (node.is_structured()) {
    for (const json& child : node) collect_set(child, out);
  }
}

// Random pages of a layout, with a seed per test so that a failure repeats.
ParamPage random_page(const char* signature, unsigned seed) {
  std::mt19937 random(seed);
  ParamPage page{};
  for (std::uint8_t& b : page.bytes) b = static_cast<std::uint8_t>(random() & 0xFFU);
  std::memcpy(page.bytes, signature, 4);
  return page;
}

std::vector<std::pair<std::string, ParamPage>> pages_of_both_layouts() {
  std::vector<std::pair<std::string, ParamPage>> pages;
  for (const char* sample :
       {"mt29f1g08abbda3w.onfi.bin", "mt29f32g08abcdbj4.onfi.bin", "tv256g08mdt4b.jedec.bin"})
    pages.emplace_back(sample, PageBuilder::from_file(kSamples + "/" + sample).page());
  for (unsigned seed = 1; seed <= 40; ++seed) {
    pages.emplace_back("random ONFI " + std::to_string(seed), random_page("ONFI", seed));
    pages.emplace_back("random JEDEC " + std::to_string(seed), random_page("JESD", seed));
  }
  pages.emplace_back("ONFI all zero", PageBuilder::onfi().page());
  pages.emplace_back("JEDEC all zero", PageBuilder::jedec().page());
  pages.emplace_back("ONFI all ones", PageBuilder::onfi().fill(4, kPageSize, 0xFF).page());
  pages.emplace_back("JEDEC all ones", PageBuilder::jedec().fill(4, kPageSize, 0xFF).page());
  return pages;
}

TEST(JsonDocument, ValuesAgreeWithTheTextReport) {
  for (const auto& [what, page] : pages_of_both_layouts()) {
    const bool jedec = std::memcmp(page.bytes, "JESD", 4) == 0;
    if (jedec) {
      expect_agreement(page, kJedecAgreements, what);
    } else {
      expect_agreement(page, kOnfiAgreements, what);
    }
  }
}

TEST(JsonDocument, FlagTextsAndHeaderAgreeWithTheTextReport) {
  for (const auto& [what, page] : pages_of_both_layouts()) {
    const std::string text = decode(page, 2);
    const json document = json::parse(decode_json(page));
    const bool jedec = std::memcmp(page.bytes, "JESD", 4) == 0;
    const std::string head = std::string(jedec ? "JEDEC     : " : "ONFI      : ") +
                             page_bytes(document["manufacturer"]) + " " + page_bytes(document["model"]) + " ";
    EXPECT_TRUE(text.starts_with(head)) << what;
    // The header may hold line ends of its own; the body starts after it.
    const std::string body = text.substr(text.find('\n', head.size()) + 1);
    std::vector<std::string> flag_lines;
    for (const std::string& line : lines_of(body)) {
      if (line.starts_with(' ')) flag_lines.push_back(line);
    }
    std::vector<std::string> set;
    collect_set(document, set);
    EXPECT_EQ(set, flag_lines) << what;

    EXPECT_EQ(document["layout"], jedec ? "JEDEC" : "ONFI") << what;
    const DecodeResult result = decode_page(page, std::span<char>(), 2);
    EXPECT_EQ(document["crc"]["stored"], result.stored_crc) << what;
    EXPECT_EQ(document["crc"]["computed"], result.computed_crc) << what;
    EXPECT_EQ(document["crc"]["ok"], result.crc_ok) << what;
    // JEDEC: one array element per block line, in order.
    if (jedec) {
      std::vector<std::string> blocks;
      for (const json& block : document["ecc_blocks"]) {
        blocks.push_back("ECC and endurance information block " + block["index"].dump() + ":");
      }
      std::vector<std::string> block_lines;
      for (const std::string& line : lines_of(text)) {
        if (line.starts_with("ECC and endurance")) block_lines.push_back(line);
      }
      EXPECT_EQ(blocks, block_lines) << what;
    }
  }
}

TEST(JsonDocument, TheLevelDoesNotChangeIt) {
  for (const auto& [what, page] : pages_of_both_layouts()) {
    const std::string full = decode_json(page, 2);
    for (const int level : {-5, 0, 1, 9})
      EXPECT_EQ(decode_json(page, level), full) << what << " at " << level;
  }
}

TEST(JsonDocument, StringsEscapeEveryByteOutsidePrintableAscii) {
  const struct {
    std::string manufacturer;  // 12 bytes at most
    std::string model;
    const char* expected;
  } cases[] = {
      {"PLAIN  ", "MODEL 1", R"("manufacturer":"PLAIN  ","model":"MODEL 1",)"},
      {std::string("A\x01\"\\\x7F", 5), "\x80\xFF\x1F ~",
       R"("manufacturer":"A\u0001\"\\\u007f","model":"\u0080\u00ff\u001f ~",)"},
      {std::string("AB\0CD", 5), "", R"("manufacturer":"AB","model":"",)"},
      {"\t\n\r", "", R"("manufacturer":"\u0009\u000a\u000d","model":"",)"},
  };
  for (const auto& c : cases) {
    for (const bool jedec : {false, true}) {
      PageBuilder page = jedec ? PageBuilder::jedec() : PageBuilder::onfi();
      page.text(32, c.manufacturer).text(44, c.model).fix_crc();
      const std::string document = decode_json(page);
      EXPECT_NE(document.find(c.expected), std::string::npos) << document;
      const json parsed = json::parse(document);
      EXPECT_EQ(page_bytes(parsed["manufacturer"]), c.manufacturer.substr(0, c.manufacturer.find('\0')));
    }
  }
}

TEST(JsonDocument, FieldsTheTextLeavesOutAreNull) {
  const struct {
    const char* what;
    PageBuilder page;
    const char* pointer;
    const char* expected;  // the member's JSON text
  } cases[] = {
      {"ONFI, no date", PageBuilder::onfi(), "/identification/date", "null"},
      {"ONFI, a date", PageBuilder::onfi().u8(65, 14).u8(66, 3), "/identification/date",
       R"({"year_of_century":14,"week":3})"},
      {"ONFI revision 5.0: no partial page", PageBuilder::onfi().le16(4, 0x1000).le32(86, 512),
       "/organisation/partial_page_size_bytes", "null"},
      {"ONFI older: partial page", PageBuilder::onfi().le16(4, 0x0040).le32(86, 512).le16(90, 16),
       "/organisation/partial_page_size_bytes", "528"},
      {"ONFI 5.1: no EZ NAND", PageBuilder::onfi().le16(4, 0x2000).u8(115, 7), "/organisation/ez_nand",
       "null"},
      {"ONFI 3.0: EZ NAND", PageBuilder::onfi().le16(4, 0x0040).u8(115, 1), "/organisation/ez_nand",
       R"({"value":1,"set":["supports enable/disable of automatic retries"]})"},
      {"ONFI ECC in the extended page", PageBuilder::onfi().u8(112, 255), "/organisation/ecc_bits", "null"},
      {"ONFI revision name", PageBuilder::onfi().le16(4, 0x007E), "/identification/revision",
       R"({"value":126,"name":"3.0"})"},
      {"ONFI unnamed revision", PageBuilder::onfi().le16(4, 0x8001), "/identification/revision",
       R"({"value":32769,"name":null})"},
      {"ONFI 5.0 feature bit 9", PageBuilder::onfi().le16(4, 0x1000).le16(6, 0x0200),
       "/identification/features", R"({"value":512,"set":["NV-LPDDR4"]})"},
      {"ONFI zero timing mask", PageBuilder::onfi().le16(129, 0), "/timing_modes/async", "null"},
      {"ONFI mask above the named modes", PageBuilder::onfi().le16(129, 0x40), "/timing_modes/async",
       R"({"value":64,"top_speed":null})"},
      {"ONFI plausible endurance", PageBuilder::onfi().u8(105, 3).u8(106, 4), "/organisation",
       "endurance_cycles=30000"},
      {"ONFI implausible endurance", PageBuilder::onfi().u8(105, 2).u8(106, 6), "/organisation",
       "endurance_cycles=2000000 endurance_raw=1538"},
      {"JEDEC zero features", PageBuilder::jedec(), "/identification/features", "null"},
      {"JEDEC empty ECC blocks", PageBuilder::jedec(), "/ecc_blocks", "[]"},
      {"JEDEC cell type", PageBuilder::jedec().u8(102, 255), "/organisation/bits_per_cell",
       R"({"value":255,"name":"Not specified"})"},
      {"JEDEC capacitance", PageBuilder::jedec().le16(163, 65535), "/electrical/typ_io_capacitance_pf",
       "6553.5"},
  };
  for (const auto& c : cases) {
    const json document = json::parse(decode_json(c.page));
    const json& member = document[json::json_pointer(c.pointer)];
    if (std::string_view(c.expected).starts_with("endurance_")) {
      std::string shown = "endurance_cycles=" + member["endurance_cycles"].dump();
      if (member.contains("endurance_raw")) shown += " endurance_raw=" + member["endurance_raw"].dump();
      EXPECT_EQ(shown, c.expected) << c.what;
    } else {
      EXPECT_EQ(member.dump(), c.expected) << c.what;
    }
  }
}

TEST(JsonDocument, PageWithoutSignatureAndBoundedBuffers) {
  const std::string none = decode_json(PageBuilder::from_file(kFuzzCorpus + "/empty.bin"));
  EXPECT_EQ(none, R"({"version":"v0.17","layout":null,"crc":null,"manufacturer":null,"model":null})");

  const ParamPage page = PageBuilder::from_file(kSamples + "/tv256g08mdt4b.jedec.bin");
  const std::string full = decode_json(page);
  for (const std::size_t room : {std::size_t{1}, std::size_t{7}, full.size() / 2, full.size()}) {
    std::string buffer(room + 8, '#');
    const DecodeResult cut = decode_page(page, std::span<char>(buffer.data(), room), 2, Output::Json);
    EXPECT_EQ(cut.needed, full.size()) << room;
    EXPECT_EQ(cut.length, room - 1) << room;
    EXPECT_EQ(buffer.substr(0, cut.length), full.substr(0, cut.length)) << room;
    EXPECT_EQ(buffer[cut.length], '\0') << room;
    EXPECT_EQ(buffer.substr(room), std::string(8, '#')) << room;
  }
}

TEST(JsonDocument, LongestDocumentsFitTheirRoom) {
  // Measured with tolvik_longest --json; a longer document means a section
  // changed: measure again and update kJsonCapacity's comment and the fuzz
  // target.
  const struct {
    const char* page;
    std::size_t length;
  } cases[] = {{"longest-json.onfi.bin", 3671}, {"longest-json.jedec.bin", 3403}};
  for (const auto& c : cases) {
    const std::string document = decode_json(PageBuilder::from_file(kFuzzCorpus + "/" + c.page));
    EXPECT_EQ(document.size(), c.length) << c.page;
    EXPECT_LT(document.size(), kJsonCapacity / 4) << c.page;
  }
}

// The word after a line's label, or "" without such a line.
std::string after_label(const std::vector<std::string>& lines, std::string_view label) {
  for (const std::string& line : lines) {
    if (line.starts_with(label)) {
      const std::string rest = line.substr(label.size());
      return rest.substr(0, rest.find_first_of(" ,"));
    }
  }
  return "";
}

std::size_t count_lines(const std::vector<std::string>& lines, std::string_view label) {
  return static_cast<std::size_t>(std::count_if(
      lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(label); }));
}

TEST(JsonDocument, WholeDumpMembersAgreeWithTheTextReport) {
  std::vector<std::string> files = {kSamples + "/mt29f32g08abcdbj4.onfi-dump.bin"};
  for (const auto& entry : std::filesystem::directory_iterator(kFuzzCorpus + "/../corpus-dump")) {
    files.push_back(entry.path().string());
  }
  for (const std::string& file : files) {
    const std::string bytes = read_file(file);
    const std::span<const std::uint8_t> dump(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                             bytes.size());
    std::string text(kDumpReportCapacity, '\0');
    const DecodeResult text_result = decode_dump(dump, text, 2);
    text.resize(text_result.length);
    std::string document(kJsonCapacity, '\0');
    const DecodeResult json_result = decode_dump(dump, document, 2, Output::Json);
    document.resize(json_result.length);
    EXPECT_TRUE(json_result.complete()) << file;
    EXPECT_EQ(json_result.verified, text_result.verified) << file;
    EXPECT_EQ(json_result.crc_ok, text_result.crc_ok) << file;
    const json d = json::parse(document);
    const std::vector<std::string> lines = lines_of(text);
    if (text.empty()) {
      EXPECT_TRUE(d["layout"].is_null()) << file;
      continue;
    }

    // "Copy k    : 0xSSSS - ...", one per element, in order.
    std::vector<unsigned long> stored;
    for (const std::string& line : lines) {
      if (line.starts_with("Copy "))
        stored.push_back(std::stoul(line.substr(line.find("0x") + 2, 4), nullptr, 16));
    }
    std::vector<unsigned long> members;
    for (const json& copy : d["copies"]) members.push_back(copy["stored"].get<unsigned long>());
    EXPECT_EQ(members, stored) << file;
    const std::string decoded = lines[count_lines(lines, "Copy ")];
    EXPECT_EQ(d["decoded"]["source"], decoded.starts_with("Decoded   : majority") ? "majority" : "copy")
        << file;
    EXPECT_EQ(d["decoded"]["ok"], json_result.crc_ok) << file;
    const std::string copy = after_label(lines, "Decoded   : copy ");
    EXPECT_EQ(d["decoded"]["copy"].is_null() ? "" : d["decoded"]["copy"].dump(), copy) << file;

    const bool extended = count_lines(lines, "Ext page  : ") != 0;
    ASSERT_EQ(!d["extended_page"].is_null(), extended) << file;
    if (extended) {
      const json& epp = d["extended_page"];
      EXPECT_EQ(epp["length_bytes"].dump(), after_label(lines, "Ext page  : ")) << file;
      EXPECT_EQ(epp["copies"].size(), count_lines(lines, "Ext copy ")) << file;
      EXPECT_EQ(epp["used"].is_null(), count_lines(lines, "Ext used  : ") == 0) << file;
      EXPECT_EQ(epp["sections"].size(), count_lines(lines, "Section ")) << file;
      std::size_t blocks = 0;
      for (const json& section : epp["sections"]) {
        if (section.contains("ecc_blocks")) blocks += section["ecc_blocks"].size();
      }
      EXPECT_EQ(blocks, count_lines(lines, "ECC information block ")) << file;
    }
    for (const auto& [name, label] :
         {std::pair{"data_size_bytes", "Data size : "}, {"raw_size_bytes", "Raw size  : "}}) {
      const std::string shown = after_label(lines, label);
      EXPECT_EQ(d[name].is_null() ? "more" : d[name].dump(), shown) << file << " " << name;
    }
  }
}

TEST(JsonCommand, ExitStatusAndMessagesAreTheTextRunsOwn) {
  TempDir dir;
  std::string sample = read_file(kSamples + "/mt29f32g08abcdbj4.onfi.bin");
  sample.resize(kPageSize, '\0');
  write_file(dir.file("page.bin"), sample);
  write_file(dir.file("short.bin"), sample.substr(0, 100));
  write_file(dir.file("none.bin"), std::string(512, 'x'));
  write_file(dir.file("empty.bin"), "");
  write_file(dir.file("bad.hex"), "not hex at all\n");
  const struct {
    std::vector<std::string> args;
    std::string file;
    std::vector<std::string> messages;
  } cases[] = {
      {{dir.file("page.bin")}, dir.file("page.bin"), {}},
      {{dir.file("page.bin"), "0"}, dir.file("page.bin"), {}},
      {{dir.file("short.bin")}, dir.file("short.bin"), {"Read file Error"}},
      {{dir.file("none.bin")}, dir.file("none.bin"), {}},
      {{dir.file("empty.bin")}, dir.file("empty.bin"), {"Read file Error"}},
      {{dir.file("missing.bin")}, dir.file("missing.bin"), {"Open file Error"}},
      {{"-x", dir.file("bad.hex")}, dir.file("bad.hex"), {"Hex text Error: line 1"}},
      {{"-a", dir.file("page.bin")}, dir.file("page.bin"), {}},
      {{"-a", dir.file("missing.bin")}, dir.file("missing.bin"), {"Open file Error"}},
  };
  for (const auto& c : cases) {
    const std::string shown = c.args.front() + " " + c.args.back();
    std::vector<std::string> json_args = {"-j"};
    json_args.insert(json_args.end(), c.args.begin(), c.args.end());
    const RunResult text = run_tolvik(c.args);
    const RunResult run = run_tolvik(json_args);
    EXPECT_EQ(run.status, text.status) << shown;
    ASSERT_TRUE(run.out.ends_with("}\n")) << shown << ": " << run.out;
    EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << shown;
    const json document = json::parse(run.out);
    EXPECT_EQ(document["file"], c.file) << shown;
    EXPECT_EQ(document["messages"], json(c.messages)) << shown;
    for (const std::string& message : c.messages) {
      EXPECT_NE(text.out.find("\n" + message + "\n"), std::string::npos) << shown << ": text run lacks it";
    }
  }
}

}  // namespace
}  // namespace tolvik::test

// The byte map: every byte of a page (and of the extended page a dump uses)
// in exactly one line, shown as it is, for real, built and random pages; the
// same cover in JSON; the maps of the samples against hand-checked files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"

namespace tolvik::test {
namespace {

std::string render_view(const PageModel* page, const Dump* dump, Output output, int level = 2) {
  std::vector<char> room(kMapCapacity);
  RenderOptions options;
  options.level = level;
  options.output = output;
  options.view = View::Map;
  const DecodeResult result =
      dump != nullptr ? render_dump(*dump, room, options) : render_page(*page, room, options);
  EXPECT_TRUE(result.complete()) << result.needed;
  return {room.data(), result.length};
}

PageModel model_of(const std::vector<std::uint8_t>& bytes) {
  PageModel page;
  parse_page(bytes, page);
  return page;
}

std::vector<std::uint8_t> bytes_of(const ParamPage& page) { return {page.bytes, page.bytes + kPageSize}; }

// One line of a text map that has a range, with the bytes shown on it and
// on the lines that go on below it.
struct MapLine {
  unsigned first = 0;
  unsigned last = 0;
  std::vector<std::uint8_t> bytes;
  std::string name;  // name and value
};

bool hex_pair_at(const std::string& line, std::size_t at) {
  const auto hex = [&](std::size_t i) {
    return i < line.size() && std::isxdigit(line[i]) && !std::islower(line[i]);
  };
  return hex(at) && hex(at + 1) && (at + 2 == line.size() || line[at + 2] == ' ');
}

// Reads hex pairs from `at` up to two blanks or the line's end.
std::size_t read_bytes(const std::string& line, std::size_t at, std::vector<std::uint8_t>& bytes) {
  while (hex_pair_at(line, at)) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(line.substr(at, 2), nullptr, 16)));
    at += 2;
    if (line.compare(at, 2, "  ") == 0 || at == line.size()) break;
    ++at;
  }
  return at;
}

// The range lines of a text map, in order; other lines (titles) are
// skipped. A line that goes on a field's bytes must follow a range line.
std::vector<MapLine> parse_map(const std::string& text) {
  std::vector<MapLine> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.starts_with("0x")) {
      MapLine parsed;
      const int fields = std::sscanf(line.c_str(), "0x%x-0x%x", &parsed.first, &parsed.last);
      if (fields == 1) parsed.last = parsed.first;
      std::size_t at = line.find("  ");
      at = line.find_first_not_of(' ', at);
      at = read_bytes(line, at, parsed.bytes);
      parsed.name = line.substr(line.find_first_not_of(' ', at));
      lines.push_back(parsed);
    } else if (line.starts_with(" ")) {
      EXPECT_FALSE(lines.empty()) << line;
      const std::size_t at = line.find_first_not_of(' ');
      if (!lines.empty() && line.compare(at, 4, "... ") != 0) read_bytes(line, at, lines.back().bytes);
    }
  }
  return lines;
}

// Every byte [0, size) in exactly one line, in order, each line showing its
// bytes (at most `shown` of a raw range).
void expect_cover(const std::vector<MapLine>& lines, std::size_t size, const std::vector<std::uint8_t>& bytes,
                  std::size_t shown, const std::string& what) {
  std::size_t next = 0;
  for (const MapLine& line : lines) {
    ASSERT_EQ(line.first, next) << what << ": " << line.name;
    ASSERT_LE(line.first, line.last) << what;
    const std::size_t count = std::min<std::size_t>(line.last - line.first + 1, shown);
    ASSERT_EQ(line.bytes.size(), count) << what << ": " << line.name;
    EXPECT_TRUE(std::equal(line.bytes.begin(), line.bytes.end(), bytes.begin() + line.first))
        << what << ": " << line.name;
    next = line.last + 1U;
  }
  EXPECT_EQ(next, size) << what;
}

// The same for a JSON map: contiguous ranges, raw ranges' bytes as hex.
void expect_json_cover(const nlohmann::json& map, std::size_t size, const std::vector<std::uint8_t>& bytes,
                       std::size_t shown, const std::string& what) {
  ASSERT_TRUE(map.is_array()) << what;
  std::size_t next = 0;
  for (const nlohmann::json& entry : map) {
    ASSERT_EQ(entry.at("first").get<std::size_t>(), next) << what << ": " << entry;
    const std::size_t last = entry.at("last").get<std::size_t>();
    ASSERT_TRUE(entry.at("name").is_string()) << what;
    static const std::set<std::string> kRaw = {
        "reserved",     "vendor specific",       "not documented",
        "section data", "past the last section", "ECC information blocks not decoded"};
    if (kRaw.contains(entry.at("name"))) {
      const std::string hex = entry.at("value");
      EXPECT_EQ(hex.size(), 2 * std::min(last - next + 1, shown)) << what << ": " << entry;
      for (std::size_t i = 0; 2 * i < hex.size(); ++i)
        EXPECT_EQ(std::stoul(hex.substr(2 * i, 2), nullptr, 16), bytes[next + i]) << what << ": " << entry;
    }
    next = last + 1;
  }
  EXPECT_EQ(next, size) << what;
}

// Pages of both layouts with and without a documented vendor block.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> cover_pages() {
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> pages;
  for (const char* stem : {"mt29f1g08abbda3w.onfi", "mt29f32g08abcdbj4.onfi", "tv256g08mdt4b.jedec"})
    pages.emplace_back(stem, bytes_of(PageBuilder::from_file(kSamples + "/" + stem + ".bin")));
  pages.emplace_back("onfi all ones", bytes_of(PageBuilder::onfi().fill(4, kPageSize, 0xFF)));
  pages.emplace_back("jedec all ones", bytes_of(PageBuilder::jedec().fill(4, kPageSize, 0xFF)));
  std::mt19937 random(17);
  for (int k = 0; k < 40; ++k) {
    PageBuilder page = k % 2 == 0 ? PageBuilder::onfi() : PageBuilder::jedec();
    for (std::size_t at = 4; at < kPageSize; ++at) page.u8(at, random() & 0xFF);
    // Micron's and Macronix's vendor layouts.
    if (k % 4 == 0) page.text(32, "MICRON      ").u8(64, 0x2C);
    if (k % 8 == 2) page.text(32, "MACRONIX    ").u8(64, 0xC2);
    pages.emplace_back("random " + std::to_string(k), bytes_of(k % 3 == 0 ? page.fix_crc() : page));
  }
  return pages;
}

TEST(ByteMap, EveryByteOfThePageInExactlyOneLine) {
  for (const auto& [what, bytes] : cover_pages()) {
    const PageModel page = model_of(bytes);
    const std::size_t size = page.layout == Layout::Onfi ? 256 : 512;
    const std::string text = render_view(&page, nullptr, Output::Text);
    expect_cover(parse_map(text), size, bytes, kPageSize, what);
    EXPECT_EQ(render_view(&page, nullptr, Output::Text, 0), text) << what << ": the level changes the map";
    const nlohmann::json document = nlohmann::json::parse(render_view(&page, nullptr, Output::Json));
    expect_json_cover(document.at("map"), size, bytes, kPageSize, what);
  }
}

// Three copies of an ONFI page of every flag, Micron's vendor block and an
// extended page of `epp` announced, then
// `copies` copies of it, each with its CRC.
std::vector<std::uint8_t> make_dump(std::vector<std::uint8_t> epp, int copies) {
  PageBuilder page = PageBuilder::onfi().fill(4, 254, 0xFF).u8(14, 3);
  page.le16(12, static_cast<std::uint32_t>(epp.size() / 16)).text(32, "MICRON      ").u8(64, 0x2C);
  page.text(44, "FULL-PAGE-EVERY-FLAG").fix_crc();
  std::copy_n("EPPS", 4, epp.begin() + 2);
  const std::uint16_t crc = crc16_param_page(epp.data() + 2, epp.size() - 2, kParamPageCrcSeed);
  epp[0] = crc & 0xFF;
  epp[1] = crc >> 8;
  std::vector<std::uint8_t> dump;
  for (int k = 0; k < 3; ++k) dump.insert(dump.end(), page.page().bytes, page.page().bytes + 256);
  for (int k = 0; k < copies; ++k) dump.insert(dump.end(), epp.begin(), epp.end());
  return dump;
}

// Sections by (type, length in 16-byte units); ECC blocks alternate empty
// and full from the second on, so that every section keeps 8 and more wait.
std::vector<std::uint8_t> make_epp(std::size_t units, const std::vector<std::pair<int, int>>& sections) {
  std::vector<std::uint8_t> epp(units * 16);
  std::size_t at = 32;
  for (std::size_t k = 0; k < sections.size(); ++k) {
    epp[16 + 2 * k] = static_cast<std::uint8_t>(sections[k].first);
    epp[17 + 2 * k] = static_cast<std::uint8_t>(sections[k].second);
    for (int j = 0; j < sections[k].second && at + 16 <= epp.size(); ++j, at += 16) {
      if (sections[k].first != 2 || j % 2 == 1 || j > 16)
        std::fill_n(epp.begin() + static_cast<long>(at), 16, 0xFF);
    }
  }
  return epp;
}

TEST(ByteMap, EveryByteOfTheExtendedPageInExactlyOneLine) {
  const std::vector<std::pair<int, int>> eight_full(8, {2, 255});
  const struct {
    const char* what;
    std::vector<std::uint8_t> dump;
    bool longest;  // the longest map known: within kMapCapacity
  } cases[] = {
      {"the shipped dump",
       [] {
         const std::string file = read_file(kSamples + "/mt29f32g08abcdbj4.onfi-dump.bin");
         return std::vector<std::uint8_t>(file.begin(), file.end());
       }(),
       false},
      {"eight full ECC sections, a megabyte", make_dump(make_epp(65487, eight_full), 1), true},
      {"other types, a short ECC section, one past the end",
       make_dump(make_epp(9, {{1, 2}, {2, 3}, {7, 0}, {2, 200}}), 3), false},
      {"bytes past the last section", make_dump(make_epp(12, {{2, 1}, {0, 2}}), 2), false},
  };
  for (const auto& c : cases) {
    Dump dump;
    parse_dump(c.dump, dump);
    ASSERT_EQ(dump.extended.state, ExtendedPage::State::Read) << c.what;
    std::vector<std::uint8_t> epp(dump.extended.length);
    for (std::size_t i = 0; i < epp.size(); ++i) epp[i] = dump.extended.byte(i);
    const std::string text = render_view(nullptr, &dump, Output::Text);
    const std::size_t split = text.find("Ext page  :");
    ASSERT_NE(split, std::string::npos) << c.what;
    const std::vector<std::uint8_t> page(dump.page.onfi.bytes, dump.page.onfi.bytes + 256);
    expect_cover(parse_map(text.substr(0, split)), 256, page, kPageSize, c.what);
    expect_cover(parse_map(text.substr(split)), epp.size(), epp, 64, c.what);
    const std::string json = render_view(nullptr, &dump, Output::Json);
    expect_json_cover(nlohmann::json::parse(json).at("extended_page_map"), epp.size(), epp, 64, c.what);
    if (c.longest) {
      std::printf("longest map: %zu characters of text, %zu of JSON\n", text.size(), json.size());
      EXPECT_LT(text.size(), kMapCapacity);
      EXPECT_LT(json.size(), kMapCapacity);
    }
  }
}

// Values and marks no sample's map shows.
TEST(ByteMap, ValuesTheSamplesDoNotShow) {
  const struct {
    const char* what;
    PageBuilder page;
    const char* line;
  } cases[] = {
      {"a late revision's higher modes", PageBuilder::onfi().le16(4, 0x1000).u8(116, 0x03),
       "\n0x074-0x075  03 00        NV-DDR3 timing mode support, modes 16-31: 0x0003 (modes 16-17)\n"},
      {"a revision word that names none", PageBuilder::onfi().le16(4, 0x0001).u8(10, 0x05),
       "\n0x00A        05           ONFI-JEDEC JTG primary advanced command support: 0x05 (supports Random "
       "Data "
       "Out; supports Multi-plane Copyback Program) (not defined at revision 0x0001)\n"},
      {"a reserved byte not 0", PageBuilder::jedec().u8(20, 1),
       "\n0x00E-0x01F  00 00 00 00 00 00 01 00 00 00 00 00 00 00 00 00  reserved (not 0)\n             00 "
       "00\n"},
      {"an endurance past 2^64", PageBuilder::onfi().le16(105, 0x1409),
       "Block endurance: 9 x 10^20 cycles\n"},
      {"a date code", PageBuilder::onfi().u8(65, 24).u8(66, 7), "Date code: year 24, week 7\n"},
      {"an unknown maker, no cell type", PageBuilder::onfi().u8(64, 0x42).u8(102, 9),
       "JEDEC manufacturer ID: 0x42\n0x041-0x042  00 00        Date code: none\n"},
  };
  for (const auto& c : cases) {
    const PageModel page = model_of(bytes_of(c.page));
    const std::string map = render_view(&page, nullptr, Output::Text);
    EXPECT_NE(map.find(c.line), std::string::npos) << c.what << "\n" << map;
  }
}

// Every sample's map, checked by hand once: tests/golden/STEM.map.txt (a
// whole dump's with -a).
TEST(ByteMap, SamplesMatchTheirHandCheckedMaps) {
  int samples = 0;
  for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(kSamples)) {
    if (entry.path().extension() != ".bin") continue;
    const std::string stem = entry.path().stem().string();
    const std::string file = read_file(entry.path().string());
    const std::vector<std::uint8_t> bytes(file.begin(), file.end());
    std::string map;
    if (stem.ends_with("-dump")) {
      Dump dump;
      parse_dump(bytes, dump);
      map = render_view(nullptr, &dump, Output::Text);
    } else {
      const PageModel page = model_of(bytes);
      map = render_view(&page, nullptr, Output::Text);
    }
    EXPECT_EQ(map, read_file(kGolden + "/" + stem + ".map.txt")) << stem;
    ++samples;
  }
  EXPECT_EQ(samples, 4);
}

}  // namespace
}  // namespace tolvik::test

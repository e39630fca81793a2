// The check: each rule on a real sample altered for it alone, the real
// samples themselves, the diagnosis of inputs without a page, the text
// block, and -c end to end.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace tolvik::test {
namespace {

const std::string kPage = "mt29f32g08abcdbj4.onfi.bin";  // ONFI 3.0: no finding at all
const std::string kDump = "mt29f32g08abcdbj4.onfi-dump.bin";
const std::string kJedec = "tv256g08mdt4b.jedec.bin";  // made up: its maker ID names no maker

std::string sample(const std::string& name) { return read_file(kSamples + "/" + name); }

void put_crc(std::string& bytes, std::size_t covered) {
  const std::uint16_t crc =
      crc16_param_page(reinterpret_cast<const std::uint8_t*>(bytes.data()), covered, kParamPageCrcSeed);
  bytes[covered] = static_cast<char>(crc & 0xFF);
  bytes[covered + 1] = static_cast<char>(crc >> 8);
}

// The findings of an input as the command gets them, as "id@first" words
// ("id" alone without a range).
struct Checked {
  Findings findings;
  std::string rules;
};
std::unique_ptr<Checked> check(const std::string& bytes, bool dump) {
  auto out = std::make_unique<Checked>();
  const std::span<const std::uint8_t> span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  auto parsed = std::make_unique<Dump>();
  if (dump) {
    parse_dump(span, *parsed);
  } else {
    ParamPage page{};
    std::memcpy(page.bytes, bytes.data(), std::min(bytes.size(), kPageSize));
    parse_page(page.bytes, parsed->page);
  }
  if ((dump ? parsed->layout : parsed->page.layout) == Layout::None) {
    check_no_page(span, out->findings);
  } else if (dump) {
    check_dump(*parsed, out->findings);
  } else {
    check_page(parsed->page, out->findings);
  }
  for (const Finding& f : out->findings.list()) {
    if (!out->rules.empty()) out->rules += ' ';
    out->rules += f.rule;
    if (f.has_range) out->rules += '@' + std::to_string(f.first);
  }
  return out;
}

TEST(Check, EachRuleFiresAloneOnAnAlteredSample) {
  const struct {
    const char* expected;  // "rule@first byte", or "rule" for no range
    std::string sample;
    std::vector<std::pair<std::size_t, std::string>> patches;
    bool dump = false;
    std::size_t keep = std::string::npos;  // bytes of the input kept
    std::string message = {};              // when given, the finding's
  } cases[] = {
      {"crc@254", kPage, {{254, "\x62"}}},
      {"copy-crc", kDump, {{256 + 50, "\x01"}}, true},
      {"copy-majority", kDump, {{50, "\x01"}, {256 + 60, "\x01"}, {512 + 70, "\x01"}}, true},
      {"extended-page", kDump, {}, true, 768},
      {"reserved@15", kPage, {{20, "\x01"}}},
      // The ranges of the highest revision claimed, or of the nearest listed:
      // 2.1 takes 2.2's (byte 10 and the electrical bytes from 156 on), 4.0
      // leaves byte 11 alone, 5.1 takes 5.2's (the partial page bytes).
      {"reserved@10 reserved@156", kPage, {{4, "\x0e"}}},
      {"", kPage, {{4, std::string("\x7e\x02", 2)}, {11, "\x01"}}},
      {"reserved@86", kPage, {{4, std::string("\x7e\x20", 2)}, {86, "\x01"}}},
      {"reserved@10 partial-page@86", "mt29f1g08abbda3w.onfi.bin", {{12, "\x01"}}},
      {"reserved-bits@114", kPage, {{114, "\x9e"}}},
      {"text@32", kPage, {{40, "\x01"}}},
      {"revision@4", kPage, {{4, std::string(2, '\0')}}},  // as SPI-NAND pages hold it
      {"page-count@14", kPage, {{14, "\x02"}}},
      {"ecc-extended@112", kPage, {{6, "\x78"}, {12, std::string(2, '\0')}}},
      // Announced but too short, whatever ECC bits say; 48 bytes is enough.
      {"ecc-extended@12", kPage, {{12, std::string("\x02\0", 2)}, {112, "\x08"}}},
      {"", kPage, {{12, std::string("\x03\0", 2)}, {112, "\x08"}}},
      {"extended-length@12", kPage, {{6, "\x78"}, {112, "\x18"}}},
      {"timing-mode-0@129", kPage, {{129, "\x3e"}}},
      {"geometry@100", kPage, {{100, std::string(1, '\0')}}},
      {"partial-page@86", kPage, {{86, std::string("\0\x80", 2)}}},
      {"power-of-two@92", kPage, {{92, std::string("\xc0\0", 2)}}},
      {"address-cycles@101", kPage, {{101, "\x03"}}},
      {"bits-per-cell@102", kPage, {{102, "\x05"}}},
      {"bad-blocks@103", kPage, {{103, "\x18\x04"}}},
      {"array-times@133", kPage, {{135, std::string("\x0a\0", 2)}}},  // a tBERS of 10 us
      {"date@65", kPage, {{65, std::string("\x15\0", 2)}}},
      {"maker@64", kPage, {{64, "\xad"}}},
      {"maker@64",
       kPage,
       {{32, std::string(12, ' ')}},
       false,
       std::string::npos,
       "0x2C is Micron, but the maker text is \"\""},
      {"no-page", kPage, {{0, "NOIF"}}},
      // The JEDEC layout's own bytes, on the made-up page given a real maker.
      {"maker@64", kJedec, {{64, "\x2c"}}},
      {"reserved@180", kJedec, {{32, "MICRON      "}, {64, "\x2c"}, {180, "\x01"}}},
      {"geometry@100", kJedec, {{32, "MICRON      "}, {64, "\x2c"}, {100, std::string(1, '\0')}}},
      {"array-times@153", kJedec, {{32, "MICRON      "}, {64, "\x2c"}, {157, std::string("\0\x06", 2)}}},
  };
  for (const auto& c : cases) {
    std::string bytes = sample(c.sample).substr(0, c.keep);
    for (const auto& [offset, patch] : c.patches) bytes.replace(offset, patch.size(), patch);
    const bool jedec = c.sample == kJedec;
    if (!c.dump && std::string(c.expected) != "crc@254") put_crc(bytes, jedec ? 510 : 254);
    const auto checked = check(bytes, c.dump);
    EXPECT_EQ(checked->rules, c.expected) << c.expected << " on " << c.sample;
    if (checked->findings.count != 1) continue;
    if (!c.message.empty()) {
      EXPECT_EQ(checked->findings.items[0].message, c.message);
    }
    const std::string id = std::string(c.expected).substr(0, std::string(c.expected).find('@'));
    for (const CheckRule& rule : check_rules()) {
      if (rule.id == id) {
        EXPECT_EQ(checked->findings.items[0].severity, rule.severity) << id;
      }
    }
  }
}

TEST(Check, RealSamplesGiveNoFailure) {
  const struct {
    std::string sample;
    bool dump;
    const char* expected;
  } cases[] = {
      {"mt29f1g08abbda3w.onfi.bin", false, "partial-page@86"},  // 8192 bytes in a 2048-byte page
      {"mt29f1g08abbda3w.onfi.bin", true, "partial-page@86"},
      {kPage, false, ""},
      {kDump, true, ""},
      {kJedec, false, "maker@64"},
  };
  for (const auto& c : cases) {
    const auto checked = check(sample(c.sample), c.dump);
    EXPECT_EQ(checked->rules, c.expected) << c.sample;
    EXPECT_EQ(checked->findings.failures, 0U) << c.sample;
  }
}

TEST(Check, InputsWithoutAPageSayWhatTheyHold) {
  const std::string page = sample(kPage);
  std::string hex;  // as xxd -p lists it, cut inside a line as a page's read of it is
  std::string swapped = page, little, big;
  for (std::size_t i = 0; i < page.size(); ++i) {
    const auto c = static_cast<unsigned char>(page[i]);
    if (i % 30 == 0 && i != 0) hex += '\n';
    hex += "0123456789abcdef"[c >> 4];
    hex += "0123456789abcdef"[c & 15];
    swapped[i ^ 1] = page[i];
    little += {page[i], '\0'};
    big += {'\0', page[i]};
  }
  const struct {
    std::string bytes;
    std::string message;
  } cases[] = {
      {hex.substr(0, 511), "the input is a hex listing: use -x"},
      {"0x4f, 0x4e, 0x46, 0x49\n", "the input is a hex listing: use -x"},
      {"see the ONFI page\n", "the input is text, not a page"},
      {"Gr\xc3\xb6\xc3\x9f"
       "e\n",
       "the input is text, not a page"},
      {swapped, "a page read as 16-bit words: swap each byte pair"},
      {little, "a page read on a 16-bit bus"},
      {big, "a page read on a 16-bit bus"},
      {sample(kDump).substr(768), "an extended parameter page on its own"},
      {std::string(100, '\x80') + page, "the page starts at byte 100"},
      {"\xc3\x28\x01JESD", "the page starts at byte 3"},
      {std::string(512, '\xff'), "erased or unread"},
      {std::string(512, '\0'), "all 0x00 (some parts return zeros when no Reset precedes the read)"},
      {std::string(10, '\x80'), "too short to hold a page: 10 bytes"},
      {"", "too short to hold a page: 0 bytes"},
      {std::string(600, '\x81'), "no ONFI or JESD signature in 600 bytes"},
  };
  for (const auto& c : cases) {
    const auto checked = check(c.bytes, true);
    ASSERT_EQ(checked->rules, "no-page") << c.message;
    EXPECT_EQ(checked->findings.items[0].message, c.message);
  }
}

TEST(Check, TextBlockPutsFailuresFirstInByteOrder) {
  std::string dump = sample(kDump).substr(0, 768);  // no room for the extended page
  dump[20] = 1;
  dump[100] = 0;
  put_crc(dump, 254);
  dump[256 + 44] = 'X';
  std::string copy2 = dump.substr(256, 256);
  put_crc(copy2, 254);
  char text[kCheckTextCapacity];
  const DecodeResult result = render_findings(check(dump, true)->findings, text);
  char crc[8];
  std::snprintf(crc, sizeof crc, "0x%02X%02X", static_cast<unsigned char>(copy2[255]),
                static_cast<unsigned char>(copy2[254]));
  EXPECT_EQ(std::string(text, result.length),
            "Check     : 2 failures, 2 warnings\n"
            "FAIL geometry bytes 100-100: Number of logical units: 0\n"
            "FAIL extended-page: 48 bytes announced at byte 768: the input ends before them\n"
            "WARN reserved bytes 15-31: byte 20 is not 0 (reserved at 3.0)\n"
            "WARN copy-crc: copy 2 (bytes 256-511): stored 0x8A63, computed " +
                std::string(crc) + "\n");
}

TEST(Check, CommandEndToEnd) {
  TempDir dir;
  std::string bad = sample(kPage);
  bad[254] = 0x62;
  write_file(dir.file("bad.bin"), bad);
  write_file(dir.file("text.txt"), "hello\n");
  write_file(dir.file("ff.xxd"), "00000000: ffff ffff\n");
  const std::string page = kSamples + "/" + kPage;
  const std::string length = std::to_string(decode(PageBuilder::from_file(page), 2).size());
  const std::string bad_crc = "\nFAIL crc bytes 254-255: stored 0x8A62, computed 0x8A63\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string tail;  // the output ends with it
  } cases[] = {
      {{"-c", page}, 0, "\nlen=" + length + "\nCheck     : 0 failures, 0 warnings\n"},
      {{"--check", "-x", dir.file("ff.xxd")},
       1,
       "\nlen=0\nCheck     : 1 failures, 0 warnings\nFAIL no-page: erased or unread\n"},
      {{"-c", dir.file("bad.bin")}, 4, bad_crc},
      {{"-a", page}, 3, ""},
      {{"-ac", page}, 4, "FAIL extended-page: 48 bytes announced at byte 768: the input ends before them\n"},
      {{"-c", dir.file("text.txt")},
       1,
       "\nlen=0\nCheck     : 1 failures, 0 warnings\nFAIL no-page: the input is text, not a page\n"},
      {{dir.file("text.txt")}, 1, kRunHead + "Read file Error\n\nlen=0\n"},
      {{"-c", dir.file("missing.bin")}, 1, kRunHead + "Open file Error\n\nlen=0\n"},
      {{"-c", dir.file("bad.bin"), "0t"}, 4, "\nSave to " + dir.file("bad.bin") + ".txt\n"},
  };
  for (const auto& c : cases) {
    const RunResult run = run_tolvik(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[0] << " " << c.args.back();
    EXPECT_TRUE(run.out.ends_with(c.tail)) << run.out;
    // The block comes with the option, for every input that was read.
    const std::string& first = c.args[0];
    const bool block = first == "--check" || (first.starts_with('-') && first.find('c') != std::string::npos);
    EXPECT_EQ(run.out.find("\nCheck     : ") != std::string::npos,
              block && c.args.back() != dir.file("missing.bin"))
        << run.out;
  }
  EXPECT_TRUE(read_file(dir.file("bad.bin.txt")).ends_with(bad_crc));

  // JSON: the diagnosis is an error message with or without -c; the check's
  // members only with it.
  for (const bool with_check : {false, true}) {
    std::vector<std::string> args = {"-j", dir.file("text.txt")};
    if (with_check) args.insert(args.begin(), "-c");
    const RunResult run = run_tolvik(args);
    EXPECT_EQ(run.status, 1);
    const auto doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["messages"].back(),
              (nlohmann::json{{"text", "the input is text, not a page"}, {"severity", "error"}}));
    EXPECT_EQ(doc.contains("check") && doc.contains("findings"), with_check);
  }
  const RunResult run = run_tolvik({"-jc", dir.file("bad.bin")});
  EXPECT_EQ(run.status, 4);
  const auto doc = nlohmann::json::parse(run.out);
  EXPECT_EQ(doc["check"], (nlohmann::json{{"failures", 1}, {"warnings", 0}}));
  EXPECT_EQ(doc["findings"], nlohmann::json::parse(R"([{"severity": "failure", "rule": "crc", "first": 254,
      "last": 255, "message": "stored 0x8A62, computed 0x8A63"}])"));
}

TEST(Check, ManPageAndSchemaListEveryRule) {
  const std::string man = read_file(kSamples + "/../man/tolvik.1.in");
  const auto schema = nlohmann::json::parse(read_file(kSamples + "/../schema/tolvik.schema.json"));
  std::vector<std::string> ids;
  for (const CheckRule& rule : check_rules()) {
    ids.emplace_back(rule.id);
    std::string id;
    for (const char c : ids.back()) id += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_NE(man.find("\n.B " + id + "\n"), std::string::npos) << rule.id;
  }
  EXPECT_EQ(schema["$defs"]["findings"]["items"]["properties"]["rule"]["enum"], nlohmann::json(ids));
}

}  // namespace
}  // namespace tolvik::test

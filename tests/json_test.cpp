// The JSON document against the text report of the same page (layout, CRC,
// header fields and their escaping, flag texts, what the text leaves out),
// and -j runs of the command against its text runs.
#include <gtest/gtest.h>

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

// A string member of the document back as the bytes it was written from:
// its text between the quotes, each escape undone (\u00XX is byte XX).
std::string member_bytes(const std::string& document, const std::string& name) {
  const std::string key = "\"" + name + "\":\"";
  std::size_t at = document.find(key);
  EXPECT_NE(at, std::string::npos) << name;
  std::string bytes;
  for (at += key.size(); at < document.size() && document[at] != '"'; ++at) {
    if (document[at] != '\\') {
      bytes += document[at];
    } else if (document[++at] == 'u') {
      bytes += static_cast<char>(std::stoi(document.substr(at + 1, 4), nullptr, 16));
      at += 4;
    } else {
      bytes += document[at];
    }
  }
  return bytes;
}

// A text as the text report shows it.
std::string dotted(std::string text) {
  for (char& c : text) {
    if ((c > 0 && c < 0x20) || c == 0x7F) c = '.';
  }
  return text;
}

// The texts of every flag word's "set", in document order.
void collect_set(const json& node, std::vector<std::string>& out) {
  if (node.is_object() && node.contains("set")) {
    for (const json& text : node["set"]) out.push_back(text.get<std::string>());
  }
  if (node.is_structured()) {
    for (const json& child : node) collect_set(child, out);
  }
}

TEST(JsonDocument, HeaderCrcAndFlagTextsAgreeWithTheText) {
  std::vector<ParamPage> pages;
  for (const char* sample :
       {"mt29f1g08abbda3w.onfi.bin", "mt29f32g08abcdbj4.onfi.bin", "tv256g08mdt4b.jedec.bin"})
    pages.push_back(PageBuilder::from_file(kSamples + "/" + sample).page());
  std::mt19937 random(20302);
  for (int k = 0; k < 40; ++k) {
    ParamPage page{};
    for (std::uint8_t& b : page.bytes) b = static_cast<std::uint8_t>(random() & 0xFFU);
    std::memcpy(page.bytes, k % 2 ? "ONFI" : "JESD", 4);
    // A C1 control in UTF-8 (C2 80 to C2 9F) is escaped as its code point,
    // which member_bytes cannot tell from a stray byte of that value.
    for (std::uint8_t& b : page.bytes) {
      if (b == 0xC2) b = 0xC3;
    }
    pages.push_back(page);
  }
  for (std::size_t n = 0; n < pages.size(); ++n) {
    const ParamPage& page = pages[n];
    const std::string text = decode(page, 2);
    const std::string document = decode_json(page);
    const json d = json::parse(document);
    const bool jedec = std::memcmp(page.bytes, "JESD", 4) == 0;
    const DecodeResult result = decode_page(page, std::span<char>(), 2);
    EXPECT_EQ(d["layout"], jedec ? "JEDEC" : "ONFI") << n;
    EXPECT_EQ(d["crc"],
              json({{"stored", result.stored_crc}, {"computed", result.computed_crc}, {"ok", result.crc_ok}}))
        << n;
    // Header: label, manufacturer, model (its control bytes dots in the
    // text), and the stored CRC with its marker.
    const std::string head = std::string(jedec ? "JEDEC     : " : "ONFI      : ") +
                             dotted(member_bytes(document, "manufacturer")) + " " +
                             dotted(member_bytes(document, "model")) + " ";
    ASSERT_TRUE(text.starts_with(head)) << n;
    const std::size_t end = text.find('\n', head.size());
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "[%04X%s]", result.stored_crc, result.crc_ok ? "" : "*");
    EXPECT_TRUE(text.substr(0, end).ends_with(stamp)) << n;
    // Flag lines are the lines after the header that start with a blank.
    std::vector<std::string> flag_lines;
    for (std::size_t at = end + 1, stop; (stop = text.find('\n', at)) != std::string::npos; at = stop + 1) {
      if (text[at] == ' ') flag_lines.push_back(text.substr(at + 1, stop - at - 1));
    }
    std::vector<std::string> set;
    collect_set(d, set);
    EXPECT_EQ(set, flag_lines) << n;
    EXPECT_EQ(decode_json(page, 0), document) << n << ": the level changed the document";
  }
}

// Strings hold well-formed UTF-8 as it is; controls and the bytes that are
// not part of well-formed UTF-8 are escaped, each alone.
TEST(JsonDocument, StringsKeepUtf8AndEscapeControlsAndStrayBytes) {
  const struct {
    std::string manufacturer;  // 12 bytes at most
    std::string model;
    const char* expected;
  } cases[] = {
      {"PLAIN  ", "MODEL 1", R"("manufacturer":"PLAIN  ","model":"MODEL 1",)"},
      {std::string("A\x01\"\\\x7F", 5), "\x80\xFF\x1F ~",
       R"("manufacturer":"A\u0001\"\\\u007f","model":"\u0080\u00ff\u001f ~",)"},
      {"caf\xC3\xA9 \xE2\x82\xAC", "\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",
       "\"manufacturer\":\"caf\xC3\xA9 \xE2\x82\xAC\",\"model\":\"\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF\","},
      // C1 controls are escaped as the code points they are.
      {"\xC2\x9B"
       "31m\xC2\xA0",
       "",
       R"("manufacturer":"\u009b31m)"
       "\xC2\xA0"
       R"(","model":"",)"},
      // Overlong, surrogate, beyond U+10FFFF, cut short, a lone continuation.
      {"\xC0\xAF\xED\xA0\x80", "\xF4\x90\x80\x80\xE2\x82 \xBF",
       R"("manufacturer":"\u00c0\u00af\u00ed\u00a0\u0080","model":"\u00f4\u0090\u0080\u0080\u00e2\u0082 \u00bf",)"},
      {std::string("AB\0CD", 5), "", R"("manufacturer":"AB","model":"",)"},
      {"\t\n\r", "", R"("manufacturer":"\u0009\u000a\u000d","model":"",)"},
      {"ABCDEFGH~\x7F", "01234567\\ABCDEFGHIJK",
       R"("manufacturer":"ABCDEFGH~\u007f","model":"01234567\\ABCDEFGHIJK",)"},
  };
  for (const auto& c : cases) {
    for (const bool jedec : {false, true}) {
      PageBuilder page = jedec ? PageBuilder::jedec() : PageBuilder::onfi();
      const std::string document = decode_json(page.text(32, c.manufacturer).text(44, c.model));
      EXPECT_NE(document.find(c.expected), std::string::npos) << document;
      EXPECT_FALSE(json::parse(document, nullptr, false).is_discarded()) << document;
    }
  }
}

TEST(JsonDocument, WhatTheTextLeavesOutIsNullOrAbsent) {
  const struct {
    const char* what;
    PageBuilder page;
    const char* pointer;
    const char* expected;  // the member's JSON text; nullptr: absent
  } cases[] = {
      {"ONFI, no date", PageBuilder::onfi(), "/identification/date", "null"},
      {"ONFI, a date", PageBuilder::onfi().u8(65, 14).u8(66, 3), "/identification/date",
       R"({"year_of_century":14,"week":3})"},
      {"ONFI 5.0: no partial page", PageBuilder::onfi().le16(4, 0x1000).le32(86, 512),
       "/organisation/partial_page_size_bytes", "null"},
      {"ONFI 3.0: partial page", PageBuilder::onfi().le16(4, 0x0040).le32(86, 512).le16(90, 16),
       "/organisation/partial_page_size_bytes", "528"},
      {"ONFI 5.1: no EZ NAND", PageBuilder::onfi().le16(4, 0x2000).u8(115, 7), "/organisation/ez_nand",
       "null"},
      {"ONFI ECC in the extended page", PageBuilder::onfi().u8(112, 255), "/organisation/ecc_bits", "null"},
      {"ONFI revision name", PageBuilder::onfi().le16(4, 0x007E), "/identification/revision",
       R"({"value":126,"name":"3.0"})"},
      {"ONFI unnamed revision", PageBuilder::onfi().le16(4, 0x8001), "/identification/revision",
       R"({"value":32769,"name":null})"},
      {"ONFI 5.0 feature bit 9", PageBuilder::onfi().le16(4, 0x1000).le16(6, 0x0200),
       "/identification/features", R"({"value":512,"set":["NV-LPDDR4"]})"},
      {"zero timing mask", PageBuilder::onfi(), "/timing_modes/async", "null"},
      {"mask above the named modes", PageBuilder::onfi().le16(129, 0x40), "/timing_modes/async",
       R"({"value":64,"top_speed":null})"},
      {"plausible endurance", PageBuilder::onfi().u8(105, 3).u8(106, 4), "/organisation/endurance_raw",
       nullptr},
      {"implausible endurance", PageBuilder::onfi().u8(105, 2).u8(106, 6), "/organisation/endurance_raw",
       "1538"},
      {"JEDEC zero features", PageBuilder::jedec(), "/identification/features", "null"},
      {"JEDEC empty ECC blocks", PageBuilder::jedec(), "/ecc_blocks", "[]"},
      {"JEDEC capacitance", PageBuilder::jedec().le16(163, 65535), "/electrical/typ_io_capacitance_pf",
       "6553.5"},
  };
  for (const auto& c : cases) {
    const json document = json::parse(decode_json(c.page));
    const json::json_pointer pointer(c.pointer);
    ASSERT_EQ(document.contains(pointer), c.expected != nullptr) << c.what;
    if (c.expected != nullptr) {
      EXPECT_EQ(document[pointer].dump(), c.expected) << c.what;
    }
  }
}

TEST(JsonDocument, BoundedLikeTheTextAndMeasuredLongest) {
  EXPECT_EQ(decode_json(ParamPage{}), R"({"version":")" + kVersionText +
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
  EXPECT_EQ(decode_json(PageBuilder::from_file(kFuzzCorpus + "/longest-json.onfi.bin")).size(), 3673U);
  EXPECT_EQ(decode_json(PageBuilder::from_file(kFuzzCorpus + "/longest-json.jedec.bin")).size(), 3407U);
}

TEST(JsonCommand, ExitStatusAndMessagesAreTheTextRunsOwn) {
  TempDir dir;
  std::string sample = read_file(kSamples + "/mt29f32g08abcdbj4.onfi.bin");
  sample.resize(kPageSize, '\0');
  write_file(dir.file("page.bin"), sample);
  write_file(dir.file("short.bin"), sample.substr(0, 100));
  write_file(dir.file("none.bin"), std::string(512, 'x'));
  write_file(dir.file("bad.hex"), "not hex at all\n");
  const struct {
    std::vector<std::string> options;
    const char* file;
    std::vector<std::string> messages;
    const char* read_back = nullptr;  // the name as a JSON reader reads it, when not file
  } cases[] = {
      {{}, "page.bin", {}},
      {{}, "short.bin", {"Read file Error"}},
      {{}, "none.bin", {}},
      {{}, "missing.bin", {"Open file Error"}},
      {{"-x"}, "bad.hex", {"Hex text Error: line 1"}},
      {{"-a"}, "page.bin", {}},
      {{"-a"}, "short.bin", {"Read file Error"}},
      // A UTF-8 name reads back as written; a stray byte and a control as
      // the code points of their values.
      {{}, "caf\xC3\xA9.bin", {"Open file Error"}},
      {{}, "\xFF\x01.bin", {"Open file Error"}, "\xC3\xBF\x01.bin"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.options;
    args.push_back(dir.file(c.file));
    const RunResult text = run_tolvik(args);
    args.insert(args.begin(), "-j");
    const RunResult run = run_tolvik(args);
    EXPECT_EQ(run.status, text.status) << c.file;
    ASSERT_TRUE(run.out.ends_with("}\n")) << c.file << ": " << run.out;
    EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << c.file;
    const json document = json::parse(run.out);
    EXPECT_EQ(document["file"], dir.file(c.read_back != nullptr ? c.read_back : c.file)) << c.file;
    EXPECT_EQ(document["messages"], json(c.messages)) << c.file;
    for (const std::string& message : c.messages) {
      EXPECT_NE(text.out.find("\n" + message + "\n"), std::string::npos) << c.file << ": not in the text run";
    }
  }
}

}  // namespace
}  // namespace tolvik::test

// Whole dumps: which copy is decoded, the extended parameter page, the size
// lines, and the command's -a runs end to end.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "test_support.h"

namespace tolvik::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// An ONFI page announcing an extended page of `units` x 16 bytes after
// `copies_before` copies, with the sample's organisation.
PageBuilder onfi_with_epp(std::uint32_t units, std::uint32_t copies_before = 3) {
  return PageBuilder::onfi().fields({{6, 2, 0x0080},
                                     {12, 2, units},
                                     {14, 1, copies_before},
                                     {80, 4, 16384},
                                     {84, 2, 1216},
                                     {92, 4, 256},
                                     {96, 4, 1048},
                                     {100, 1, 1}});
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes copy_of(const ParamPage& page, std::size_t size = 256) { return Bytes(page.bytes, page.bytes + size); }

Bytes flip(Bytes bytes, std::size_t offset, unsigned bit) {
  bytes.at(offset) ^= static_cast<std::uint8_t>(1U << bit);
  return bytes;
}

// An extended page of `length` bytes (over `base` when given): signature,
// the given bytes (offset, value), and its CRC.
Bytes epp(std::size_t length, std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes,
          Bytes base = {}, const char* signature = "EPPS") {
  Bytes e = base.empty() ? Bytes(length, 0) : base;
  std::memcpy(e.data() + 2, signature, 4);
  for (const auto& [offset, value] : bytes) e.at(offset) = value;
  const std::uint16_t crc = crc16_param_page(e.data() + 2, length - 2, kParamPageCrcSeed);
  e[0] = static_cast<std::uint8_t>(crc & 0xFF);
  e[1] = static_cast<std::uint8_t>(crc >> 8);
  return e;
}

// The sample's extended page: one ECC section of one block.
const Bytes kEpp48 = epp(48, {{16, 2}, {17, 1}, {32, 24}, {33, 10}, {34, 100}, {36, 5}, {37, 3}});

struct Decoded {
  std::string text;
  DecodeResult result;
};

Decoded decode_whole(const Bytes& dump, int level = 2) {
  std::vector<char> buffer(kDumpReportCapacity, '\x5A');
  Decoded d;
  d.result = decode_dump(dump, buffer, level);
  d.text.assign(buffer.data(), d.result.length);
  EXPECT_EQ(d.result.length, d.result.needed);
  if (d.result.length != 0) {
    EXPECT_EQ(std::strlen(buffer.data()), d.result.length);
  }
  return d;
}

// What a dump's report must say: texts it holds, in pieces separated by '|'
// (a leading '!': must not hold), and its verdict.
enum class Verdict { Verified, PageOnly, Failed };
struct DumpCase {
  const char* what;
  Bytes dump;
  std::string texts;
  Verdict verdict;
};

void expect_dumps(const std::vector<DumpCase>& cases) {
  for (const DumpCase& c : cases) {
    const Decoded d = decode_whole(c.dump);
    for (std::size_t from = 0; from < c.texts.size();) {
      const std::size_t end = std::min(c.texts.find('|', from), c.texts.size());
      const std::string text = c.texts.substr(from, end - from);
      const bool absent = text.starts_with('!');
      EXPECT_EQ(d.text.find(text.substr(absent ? 1 : 0)) == std::string::npos, absent)
          << c.what << ": " << text << "\n"
          << d.text;
      from = end + 1;
    }
    EXPECT_EQ(d.result.crc_ok, c.verdict != Verdict::Failed) << c.what;
    EXPECT_EQ(d.result.verified, c.verdict == Verdict::Verified) << c.what;
  }
}

const Bytes kGood = copy_of(PageBuilder::onfi().text(32, "TOLVIK").fix_crc());

TEST(Dump, ChoosesTheCopyToDecode) {
  const Bytes jedec = copy_of(PageBuilder::jedec().text(32, "JEDECMAKER").fix_crc(), 512);
  const Bytes renamed = copy_of(PageBuilder::onfi().text(0, "OXFI").text(32, "RENAMED").fix_crc());
  using enum Verdict;
  expect_dumps({
      // An old reader compared each copy with the first copy's stored CRC.
      {"bad first copy", flip(kGood, 40, 0) + kGood + kGood,
       "Copy 1    : 0x|- Wrong (computed 0x|Copy 2    : 0x|Decoded   : copy 2\n|TOLVIK", Verified},
      {"a different bit wrong in each copy", flip(kGood, 40, 0) + flip(kGood, 41, 1) + flip(kGood, 100, 7),
       "Decoded   : majority of copies 1-3\n| - Ok\n", Verified},
      {"the same bit wrong in two copies", flip(kGood, 40, 0) + flip(kGood, 40, 0) + flip(kGood, 50, 3),
       "Decoded   : copy 1, neither a copy nor the majority passes the CRC\n|- Wrong\n", Failed},
      {"two bad copies", flip(kGood, 40, 0) + flip(kGood, 60, 2), "copy 1, no copy passes the CRC\n", Failed},
      {"shorter than a copy", Bytes(kGood.begin(), kGood.begin() + 100), "Copy 1    :|!Copy 2", Failed},
      {"copy 1 decoded whatever its signature", renamed + kGood, "Decoded   : copy 1\n|ONFI      : RENAMED",
       Verified},
      {"JEDEC, the third copy good", flip(jedec, 100, 0) + flip(jedec, 200, 0) + jedec,
       "Copy 3    : 0x|Decoded   : copy 3\n|JEDECMAKER|!Ext page", Verified},
      {"JEDEC wins over ONFI", kGood + kGood + jedec, "Decoded   : copy 2\n|JEDECMAKER", Verified},
  });
}

TEST(Dump, WithoutLayoutWritesNothing) {
  // "JESD" cut short at the end of the input does not count.
  for (const Bytes& dump : {Bytes{}, Bytes(1000, 0), Bytes(512, 0) + Bytes{'J', 'E', 'S'}}) {
    char buffer[64];
    std::memset(buffer, 0x5A, sizeof buffer);
    const DecodeResult r = decode_dump(dump, buffer, 2);
    EXPECT_EQ(r.length, 0U);
    EXPECT_EQ(r.layout, Layout::None);
    EXPECT_EQ(buffer[0], '\x5A');
  }
}

TEST(Dump, ExtendedPage) {
  const auto pages = [](std::uint32_t units) {
    const Bytes page = copy_of(onfi_with_epp(units).fix_crc());
    return page + page + page;
  };
  // Section 0: two ECC blocks, the first empty; section 1 runs past the end;
  // section 2 would fit but is not read.
  const Bytes past_end = epp(64, {{16, 2}, {17, 2}, {18, 9}, {19, 9}, {20, 2}, {48, 8}});
  // Ten ECC blocks, the first empty: blocks 1 to 8 shown, one more not shown.
  Bytes many(192, 0);
  for (std::size_t j = 2; j < 10; ++j) many[32 + 16 * j] = 1;
  many = epp(192, {{16, 2}, {17, 10}, {49, 32}, {50, 0xFF}, {51, 0xFF}, {164, 200}, {165, 7}}, many);
  const Bytes cut = pages(3) + Bytes(kEpp48.begin(), kEpp48.begin() + 47);
  using enum Verdict;
  expect_dumps({
      {"the sample's", pages(3) + kEpp48 + kEpp48 + kEpp48,
       "Ext page  : 48 bytes at 768\nExt copy 1: 0x|Ext used  : copy 1\nSection 0 : type 2, 16 bytes\n"
       "ECC information block 0:\nBitCorrECC: 24\nCodewordSz: 10 (1024 bytes)\nMaxBB/LUN : 100\n"
       "Endurance : 5000\nData size : 4395630592 bytes (4.1 GiB)\n",
       Verified},
      {"one bad copy", pages(3) + flip(kEpp48, 40, 0) + kEpp48,
       "Ext copy 1: 0x|- Wrong (computed 0x|Ext used  : copy 2\n|!Ext copy 3", Verified},
      {"a different bit wrong in each copy",
       pages(3) + flip(kEpp48, 32, 0) + flip(kEpp48, 33, 2) + flip(kEpp48, 1, 1),
       "Ext used  : majority of copies 1-3\n|BitCorrECC: 24\n", Verified},
      {"no signature", pages(3) + epp(48, {{16, 2}, {17, 1}, {32, 24}}, {}, "EPPX"),
       "Wrong (no EPPS signature)\n|Ext used  : copy 1, no copy is valid\n|BitCorrECC: 24\n", PageOnly},
      {"majority invalid", pages(3) + flip(kEpp48, 40, 0) + flip(kEpp48, 40, 0) + flip(kEpp48, 41, 0),
       "Ext used  : copy 1, neither a copy nor the majority is valid\n", PageOnly},
      {"a section past the end", pages(4) + past_end,
       "Section 0 : type 2, 32 bytes\nECC information block 1:\nBitCorrECC: 8\nCodewordSz: 0\n|"
       "Section 1 : type 9, 144 bytes, past the end\nData size|!block 0|!Section 2",
       Verified},
      {"more blocks than are shown", pages(12) + many,
       "ECC information block 1:\nBitCorrECC: 0\nCodewordSz: 32\nMaxBB/LUN : 65535\n|ECC information block "
       "8:\nBitCorrECC: 1\nCodewordSz: 0\nMaxBB/LUN : 0\nEndurance : 2000000000 (1992?)\nECC blocks: 1 more "
       "not shown\n|!block 0|!block 9",
       Verified},
      {"cut inside the second copy", pages(3) + kEpp48 + Bytes(kEpp48.begin(), kEpp48.begin() + 40),
       "Ext copy 1: 0x|!Ext copy 2|Ext used  : copy 1\n", Verified},
      {"cut inside the first copy", cut, "Ext page  : 48 bytes at 768, not in the input\nData size|!Ext copy",
       PageOnly},
      {"too short", pages(1) + kEpp48, "Ext page  : 16 bytes at 768, too short\nData size", PageOnly},
      {"placed after one copy", copy_of(onfi_with_epp(3, 1).fix_crc()) + kEpp48,
       "Ext page  : 48 bytes at 256\n|Ext used  : copy 1\n", Verified},
      {"not announced", kGood + kEpp48, "!Ext ", Verified},
  });
}

TEST(Dump, SizeLines) {
  const struct {
    std::uint32_t data, spare, pages, blocks, luns;
    const char* lines;
  } cases[] = {
      {16384, 1216, 256, 1048, 1,
       "Data size : 4395630592 bytes (4.1 GiB)\nRaw size  : 4721868800 bytes (4.4 GiB)\n"},
      {1000, 23, 1, 1, 1, "Data size : 1000 bytes\nRaw size  : 1023 bytes\n"},
      {1024, 0, 1, 1, 1, "Data size : 1024 bytes (1.0 KiB)\nRaw size  : 1024 bytes (1.0 KiB)\n"},
      // Products needing all 64 bits, up to the largest; one more overflows.
      {0xFFFFFFFF, 2, 0xFFFFFFFF, 1, 1,
       "Data size : 18446744065119617025 bytes (16.0 EiB)\nRaw size  : 18446744073709551615 bytes (16.0 "
       "EiB)\n"},
      {0xFFFFFFFF, 3, 0xFFFFFFFF, 1, 1, "Raw size  : more than 18446744073709551615 bytes\n"},
      {0xFFFFFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0, "Data size : 0 bytes\nRaw size  : 0 bytes\n"},
      {0, 0, 0xFFFFFFFF, 0xFFFFFFFF, 255, "Data size : 0 bytes\nRaw size  : 0 bytes\n"},
      {65536, 0, 65536, 65536, 254, "Data size : 71494644084506624 bytes (63.5 PiB)\n"},
  };
  for (const auto& c : cases) {
    const ParamPage page =
        PageBuilder::jedec()
            .fields(
                {{80, 4, c.data}, {84, 2, c.spare}, {92, 4, c.pages}, {96, 4, c.blocks}, {100, 1, c.luns}})
            .fix_crc();
    const std::string report = decode_whole(copy_of(page, 512)).text;
    EXPECT_NE(report.find(c.lines), std::string::npos) << report;
  }
}

TEST(Dump, SampleReportsAndLevels) {
  const std::string stem = kSamples + "/mt29f32g08abcdbj4.onfi-dump";
  const std::string bytes = read_file(stem + ".bin");
  const Bytes dump(bytes.begin(), bytes.end());
  for (const int level : {0, 1, 2}) {
    const Decoded d = decode_whole(dump, level);
    EXPECT_EQ(d.text, read_file(stem + ".all.level" + std::to_string(level) + ".txt")) << level;
    EXPECT_TRUE(d.result.verified);
  }
  // Every dump in samples/ has its reports.
  for (const auto& entry : std::filesystem::directory_iterator(kSamples)) {
    const std::string name = entry.path().stem().string();
    if (entry.path().extension() == ".bin" && name.ends_with("-dump")) {
      EXPECT_TRUE(std::filesystem::exists(kSamples + "/" + name + ".all.level2.txt")) << name;
    }
  }
}

TEST(Dump, BoundedByBufferAndLimit) {
  const std::string bytes = read_file(kSamples + "/mt29f32g08abcdbj4.onfi-dump.bin");
  const Bytes dump(bytes.begin(), bytes.end());
  char small[100];
  std::memset(small, 0x5A, sizeof small);
  const DecodeResult r = decode_dump(dump, {small, 50}, 2);
  EXPECT_EQ(r.length, 49U);
  EXPECT_EQ(r.needed, 2099U);
  EXPECT_EQ(small[49], '\0');
  EXPECT_EQ(small[50], '\x5A');
  // An extended page that would end past the 1 MiB looked at is not in the
  // input, however long the input is.
  const Bytes page = copy_of(onfi_with_epp(0xFFFF, 255).fix_crc());
  const Bytes big = page + Bytes(2 * kDumpLimit, 0);
  EXPECT_NE(decode_whole(big).text.find("Ext page  : 1048560 bytes at 65280, not in the input\n"),
            std::string::npos);
}

// The -a members of the JSON document: what the text's copy, extended page
// and size lines say, as values.
TEST(Dump, JsonMembers) {
  const std::string sample = read_file(kSamples + "/mt29f32g08abcdbj4.onfi-dump.bin");
  const Bytes page = copy_of(onfi_with_epp(3).fix_crc());
  const Bytes big =
      copy_of(PageBuilder::jedec().fields(
                  {{80, 4, 0xFFFFFFFF}, {84, 2, 3}, {92, 4, 0xFFFFFFFF}, {96, 4, 1}, {100, 1, 1}}),
              512);
  const struct {
    const char* what;
    Bytes dump;
    const char* pointer;
    const char* expected;
  } cases[] = {
      {"the sample's copies", Bytes(sample.begin(), sample.end()), "/copies/2",
       R"({"stored":35427,"computed":35427,"ok":true})"},
      {"the sample's extended page", Bytes(sample.begin(), sample.end()), "/extended_page",
       R"({"state":"read","length_bytes":48,"offset_bytes":768,"copies":[{"stored":28861,"computed":28861,)"
       R"("ok":true,"signature_ok":true},{"stored":28861,"computed":28861,"ok":true,"signature_ok":true},)"
       R"({"stored":28861,"computed":28861,"ok":true,"signature_ok":true}],"used":{"source":"copy","copy":1,)"
       R"("ok":true},"sections":[{"index":0,"type":2,"length_bytes":16,"offset_bytes":32,"past_end":false,)"
       R"("ecc_blocks":[{"index":0,"offset_bytes":32,"ecc_bits":24,"codeword_size":{"exponent":10,"bytes":1024},)"
       R"("max_bad_blocks_per_lun":100,"block_endurance":{"mantissa":5,"exponent":3,"cycles":5000},)"
       R"("rest":"0000000000000000"}],"ecc_blocks_not_shown":0}]})"},
      {"the sample's sizes", Bytes(sample.begin(), sample.end()), "/raw_size_bytes", "4721868800"},
      {"the majority", flip(kGood, 40, 0) + flip(kGood, 41, 1) + flip(kGood, 100, 7), "/decoded",
       R"({"source":"majority","copy":null,"ok":true})"},
      {"no copy passes", flip(kGood, 40, 0) + flip(kGood, 60, 2), "/decoded",
       R"({"source":"copy","copy":1,"ok":false})"},
      {"an extended page not in the input", page + page + page + Bytes(kEpp48.begin(), kEpp48.begin() + 47),
       "/extended_page",
       R"({"state":"not_in_input","length_bytes":48,"offset_bytes":768,"copies":[],"used":null,"sections":[]})"},
      {"an extended page of another type past the end",
       page + page + page + epp(48, {{16, 2}, {17, 1}, {18, 9}, {19, 9}, {32, 1}}),
       "/extended_page/sections/1",
       R"({"index":1,"type":9,"length_bytes":144,"offset_bytes":48,"past_end":true})"},
      {"none announced", kGood, "/extended_page", "null"},
      {"a size past 64 bits", big, "/raw_size_bytes", "null"},
      {"no layout", Bytes(300, 0), "",
       R"({"format_version":2,"version":")" TOLVIK_EXPECTED_VERSION
       R"(","copies":[],"decoded":null,"layout":null,"crc":null,"manufacturer":null,"model":null,)"
       R"("extended_page":null,"data_size_bytes":null,"raw_size_bytes":null})"},
  };
  for (const auto& c : cases) {
    std::vector<char> buffer(kJsonCapacity);
    const DecodeResult r = decode_dump(c.dump, buffer, 0, Output::Json);
    const auto document = nlohmann::ordered_json::parse(std::string_view(buffer.data(), r.length));
    EXPECT_EQ(document.at(nlohmann::ordered_json::json_pointer(c.pointer)).dump(), c.expected) << c.what;
  }
}

// The longest -a report that fuzz/longest_dump.cpp found: the capacity
// stated for it must hold it whole.
TEST(Dump, LongestReportFitsItsCapacity) {
  const std::string bytes = read_file(kGolden + "/longest.onfi-dump.bin");
  const Decoded d = decode_whole(Bytes(bytes.begin(), bytes.end()));
  EXPECT_EQ(d.text.size(), 11832U);
  EXPECT_LT(d.text.size(), kDumpReportCapacity);
}

// The command: exit statuses, the short-read message and the report file.
TEST(DumpCommand, StatusMessageAndReportFile) {
  TempDir dir;
  const ParamPage jedec = PageBuilder::jedec().fix_crc();
  const struct {
    const char* name;
    Bytes content;
    int status;
    bool short_read;
  } cases[] = {
      {"good.bin", kGood, 0, false},
      {"bad.bin", flip(kGood, 40, 0), 3, false},
      {"epp-missing.bin", copy_of(onfi_with_epp(3).fix_crc()), 3, false},
      {"short-onfi.bin", Bytes(kGood.begin(), kGood.begin() + 255), 3, true},
      {"short-jedec.bin", copy_of(jedec, 511), 3, true},
      {"jedec.bin", copy_of(jedec, 512), 0, false},
      {"blank.bin", Bytes(300, 0), 1, false},
      {"tiny.bin", Bytes(200, 0), 1, true},
  };
  for (const auto& c : cases) {
    const std::string input = dir.file(c.name);
    write_file(input, std::string(c.content.begin(), c.content.end()));
    const RunResult run = run_tolvik({"-a", input, "1t"});
    const Decoded d = decode_whole(c.content, 1);
    EXPECT_EQ(run.out, kRunHead + (c.short_read ? "Read file Error\n" : "") + d.text +
                           "\nlen=" + std::to_string(d.text.size()) + "\nSave to " + input + ".txt\n")
        << c.name;
    EXPECT_EQ(run.status, c.status) << c.name;
    EXPECT_EQ(read_file(input + ".txt"), kVersionText + "\n" + d.text) << c.name;
  }
}

}  // namespace
}  // namespace tolvik::test

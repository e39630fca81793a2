// The timing view: the tables against the reference, the page's own figures
// on real and built pages, the controller settings, the text and JSON
// renderings and the command's -T runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_support.h"

namespace tolvik::test {
namespace {

using json = nlohmann::json;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kNone = kNoTiming;

PageModel parsed(const ParamPage& page) {
  PageModel model;
  parse_page(page.bytes, model);
  return model;
}

PageTimings timings_of(const PageModel& model, std::string_view mode = {},
                       const ExtendedPage* epp = nullptr) {
  PageTimings timings;
  page_timings(model, epp, mode, timings);
  return timings;
}

const FamilyTimings* family(const PageTimings& timings, std::string_view name) {
  for (const FamilyTimings& f : timings.list())
    if (f.name() == name) return &f;
  return nullptr;
}

const Timing* timing(const FamilyTimings& f, std::string_view name) {
  for (const Timing& t : f.timings())
    if (t.label() == name) return &t;
  return nullptr;
}

std::string render(const PageModel& model, Output output, std::string_view mode = {},
                   const Dump* dump = nullptr) {
  std::string buffer(kJsonCapacity, '\0');
  RenderOptions options;
  options.output = output;
  options.view = View::Timings;
  options.timing_mode = mode;
  const DecodeResult result =
      dump != nullptr ? render_dump(*dump, buffer, options) : render_page(model, buffer, options);
  EXPECT_TRUE(result.complete());
  buffer.resize(result.length);
  return buffer;
}

// The shipped dump: three copies of the page, three of its extended page.
const Bytes& dump_bytes() {
  static const std::string text = read_file(kSamples + "/mt29f32g08abcdbj4.onfi-dump.bin");
  static const Bytes bytes(text.begin(), text.end());
  return bytes;
}

Bytes bytes_of(const ParamPage& page, std::size_t size) { return {page.bytes, page.bytes + size}; }

// Standard output of a shell command that must succeed.
std::string shell(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("popen " + command);
  std::string out;
  char chunk[4096];
  std::size_t n = 0;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
  EXPECT_EQ(pclose(pipe), 0) << command;
  return out;
}

// Spot values of every mode, in picoseconds, as the reference's tables give
// them: the fractions of NV-DDR, the conflicts settled (tADL, tRST mode 0),
// and a value the reference gives for mode 0 only.
TEST(TimingTables, SpotValuesAreTheReferences) {
  const struct {
    const char* key;
    const char* name;
    TimingLimit limit;
    std::uint64_t ps[kTimingTableModes];
  } cases[] = {
      {"sdr", "tRC", TimingLimit::Min, {100000, 50000, 35000, 30000, 25000, 20000}},
      {"sdr", "tWC", TimingLimit::Min, {100000, 45000, 35000, 30000, 25000, 20000}},
      {"sdr", "tREA", TimingLimit::Max, {40000, 30000, 25000, 20000, 20000, 16000}},
      {"sdr", "tRP", TimingLimit::Min, {50000, 25000, 17000, 15000, 12000, 10000}},
      {"sdr", "tADL", TimingLimit::Min, {400000, 400000, 400000, 400000, 400000, 400000}},
      {"sdr", "tRST", TimingLimit::Max, {5000000000, 500000000, 500000000, 500000000, 500000000, 500000000}},
      {"sdr", "tCS3", TimingLimit::Min, {100000, kNone, kNone, kNone, kNone, kNone}},
      {"sdr", "tRLOH", TimingLimit::Min, {0, 0, 0, 0, 5000, 5000}},
      {"nv-ddr", "tCK", TimingLimit::Min, {50000, 30000, 20000, 15000, 12000, 10000}},
      {"nv-ddr", "tDQSQ", TimingLimit::Max, {5000, 2500, 1700, 1300, 1000, 850}},
      {"nv-ddr", "tDH", TimingLimit::Min, {5000, 2500, 1700, 1300, 1100, 900}},
      {"nv-ddr", "tDS", TimingLimit::Min, {5000, 3000, 2000, 1500, 1100, 900}},
      {"nv-ddr", "tCAH", TimingLimit::Min, {10000, 5000, 4000, 3000, 2500, 2000}},
      {"nv-ddr", "tQHS", TimingLimit::Max, {6000, 3000, 2000, 1500, 1200, 1000}},
      {"nv-ddr", "tAC", TimingLimit::Max, {25000, 25000, 25000, 25000, 25000, 25000}},
      {"nv-ddr", "tCAD", TimingLimit::Min, {45000, 45000, 45000, 45000, 45000, 45000}},
      {"nv-ddr",
       "tRST",
       TimingLimit::Max,
       {500000000, 500000000, 500000000, 500000000, 500000000, 500000000}},
  };
  for (const auto& c : cases) {
    const TimingTable* table = find_timing_table(c.key);
    ASSERT_NE(table, nullptr) << c.key;
    const TimingParameter* found = nullptr;
    for (const TimingParameter& p : table->parameters)
      if (p.label() == c.name && p.limit == c.limit) found = &p;
    ASSERT_NE(found, nullptr) << c.key << " " << c.name;
    for (std::size_t mode = 0; mode < kTimingTableModes; ++mode)
      EXPECT_EQ(found->ps[mode], c.ps[mode]) << c.key << " " << c.name << " mode " << mode;
  }
  // A row given twice would show one of them twice.
  for (const TimingTable& table : timing_tables()) {
    for (std::size_t i = 0; i < table.parameters.size(); ++i)
      for (std::size_t j = i + 1; j < table.parameters.size(); ++j)
        EXPECT_FALSE(table.parameters[i].label() == table.parameters[j].label() &&
                     table.parameters[i].limit == table.parameters[j].limit)
            << table.key << " " << table.parameters[i].label();
  }
}

TEST(TimingTables, FamilyModeNamesATableMode) {
  const struct {
    const char* text;
    bool known;
  } cases[] = {
      {"", true},           {"sdr:0", true},        {"SDR:5", true},
      {"nv-ddr:2", true},   {"NV-DDR:05", true},    {"sdr:6", false},
      {"nv-ddr2:1", false}, {"async_sdr:1", false}, {"sdr", false},
      {"sdr:", false},      {":3", false},          {"sdr:3x", false},
      {"sdr:-1", false},    {"sdr: 3", false},      {"sdr:4294967299", false},
  };
  for (const auto& c : cases) EXPECT_EQ(timing_mode_known(c.text), c.known) << c.text;
}

// Which families show, in which state, and what a page changes in them.
TEST(PageTimings, FamiliesAndTheirStates) {
  const PageBuilder nv_ddr = PageBuilder::onfi().le16(6, 0x0020).le16(129, 0x003F).u8(141, 0x07);
  const struct {
    const char* what;
    PageBuilder page;
    const char* mode;
    const char* family;  // nullptr: the only family shown is SDR, in that state
    FamilyState state;
    int shown_mode;
    bool supported;
  } cases[] = {
      {"mask 0", PageBuilder::onfi(), "", "SDR", FamilyState::NoMode, -1, false},
      {"highest bit without a table", PageBuilder::onfi().le16(129, 0x004F), "", "SDR",
       FamilyState::NoModeTable, 6, true},
      {"mode asked, supported", nv_ddr, "nv-ddr:1", "NV-DDR", FamilyState::Timings, 1, true},
      {"mode asked, not supported", nv_ddr, "nv-ddr:5", "NV-DDR", FamilyState::Timings, 5, false},
      {"family announced, mask 0", PageBuilder::onfi().le16(6, 0x0400), "", "NV-DDR2", FamilyState::NoMode,
       -1, false},
      {"no table", PageBuilder::onfi().u8(142, 0x1F), "", "NV-DDR2", FamilyState::NoTable, 4, true},
      {"JEDEC: no table", PageBuilder::jedec().le16(144, 0x3F), "", "Asynchronous SDR", FamilyState::NoTable,
       5, true},
      {"JEDEC: ONFI table asked", PageBuilder::jedec().le16(144, 0x3F), "sdr:5", "SDR",
       FamilyState::NotApplied, 5, false},
  };
  for (const auto& c : cases) {
    const PageTimings timings = timings_of(parsed(c.page), c.mode);
    const FamilyTimings* f = family(timings, c.family);
    ASSERT_NE(f, nullptr) << c.what;
    EXPECT_EQ(f->state, c.state) << c.what;
    EXPECT_EQ(f->mode, c.shown_mode) << c.what;
    EXPECT_EQ(f->supported, c.supported) << c.what;
    EXPECT_EQ(f->count != 0, c.state == FamilyState::Timings) << c.what;
    if (c.mode[0] != '\0') {
      EXPECT_EQ(timings.family_count, 1U) << c.what;
    }
  }
  // NV-DDR only where its mask or the features name it.
  EXPECT_EQ(family(timings_of(parsed(PageBuilder::onfi())), "NV-DDR"), nullptr);
}

// The page's figures replace the table's defaults in both families; tADL
// only where the page announces program page register clear enhancement.
TEST(PageTimings, PageFiguresAndTheirExceptions) {
  const auto base = [] { return PageBuilder::onfi().le16(6, 0x0020).le16(129, 0x0001).u8(141, 0x01); };
  const auto sample = [](const char* name) { return PageBuilder::from_file(kSamples + "/" + name); };
  const char* small = "mt29f1g08abbda3w.onfi.bin";
  const char* large = "mt29f32g08abcdbj4.onfi.bin";
  const struct {
    const char* what;
    PageBuilder page;
    const char* family;
    const char* name;
    std::uint64_t ps;  // kNone: not shown
    TimingSource source;
  } cases[] = {
      {"1 Gb tR", sample(small), "SDR", "tR", 25000000, TimingSource::Page},
      {"1 Gb tPROG", sample(small), "SDR", "tPROG", 600000000, TimingSource::Page},
      {"1 Gb tBERS", sample(small), "SDR", "tBERS", 3000000000, TimingSource::Page},
      {"1 Gb tCCS", sample(small), "SDR", "tCCS", 100000, TimingSource::Page},
      {"1 Gb tADL", sample(small), "SDR", "tADL", 400000, TimingSource::Table},
      {"32 Gb tADL", sample(large), "SDR", "tADL", 70000, TimingSource::Page},
      {"32 Gb NV-DDR tADL", sample(large), "NV-DDR", "tADL", 70000, TimingSource::Page},
      {"32 Gb NV-DDR tR", sample(large), "NV-DDR", "tR", 45000000, TimingSource::Page},
      {"32 Gb NV-DDR tBERS", sample(large), "NV-DDR", "tBERS", 8000000000, TimingSource::Page},
      {"tADL without the enhancement", base().le16(154, 70), "SDR", "tADL", 400000, TimingSource::Table},
      {"tADL of 0 with it", base().le16(6, 0x0120), "SDR", "tADL", 400000, TimingSource::Table},
      {"tR of 0 keeps the default", base(), "NV-DDR", "tR", 200000000, TimingSource::Table},
      {"tPROG of 0: none", base(), "SDR", "tPROG", kNone, TimingSource::Page},
      {"tBERS in us", base().le16(135, 65535), "NV-DDR", "tBERS", 65535000000, TimingSource::Page},
      {"fast tCAD", base().u8(143, 0x01), "NV-DDR", "tCAD", 25000, TimingSource::Page},
      {"slow tCAD", base().u8(143, 0x02), "NV-DDR", "tCAD", 45000, TimingSource::Table},
      {"tRST mode 0: raw NAND", base(), "SDR", "tRST", 5000000000, TimingSource::Table},
  };
  for (const auto& c : cases) {
    const PageTimings timings = timings_of(parsed(c.page));
    const FamilyTimings* f = family(timings, c.family);
    ASSERT_NE(f, nullptr) << c.what;
    const Timing* t = timing(*f, c.name);
    ASSERT_EQ(t == nullptr, c.ps == kNone) << c.what;
    if (t == nullptr) continue;
    EXPECT_EQ(t->ps, c.ps) << c.what;
    EXPECT_EQ(t->source, c.source) << c.what;
  }
}

TEST(PageTimings, ControllerSettingsAndTheirEccSource) {
  const Bytes& dump = dump_bytes();
  Bytes bad_epp = dump;
  bad_epp[768 + 32] ^= 1;  // every copy of the extended page fails its CRC
  bad_epp[768 + 48 + 32] ^= 1;
  bad_epp[768 + 96 + 32] ^= 1;
  const struct {
    const char* what;
    Bytes bytes;
    bool whole_dump;
    EccSource source;
    std::uint32_t bits, codeword, bus_width;
  } cases[] = {
      {"byte 112", bytes_of(PageBuilder::onfi().u8(112, 4).le16(6, 0x0001), 256), false, EccSource::Page, 4,
       512, 16},
      {"255, one page", Bytes(dump.begin(), dump.begin() + 256), false, EccSource::ExtendedPageNotRead, 0, 0,
       8},
      {"255, whole dump", dump, true, EccSource::ExtendedPage, 24, 1024, 8},
      {"255, extended page bad", bad_epp, true, EccSource::ExtendedPageInvalid, 0, 0, 8},
      {"255, no extended page", Bytes(dump.begin(), dump.begin() + 768), true, EccSource::ExtendedPageMissing,
       0, 0, 8},
      {"JEDEC block 0", bytes_of(PageBuilder::jedec().u8(211, 40).u8(212, 10), 512), false, EccSource::Page,
       40, 1024, 8},
      {"JEDEC codeword 256", bytes_of(PageBuilder::jedec().u8(211, 4).u8(212, 8), 512), false,
       EccSource::CodewordInvalid, 0, 0, 8},
  };
  for (const auto& c : cases) {
    Dump model;
    parse_dump(c.bytes, model);
    const PageTimings timings = timings_of(model.page, {}, c.whole_dump ? &model.extended : nullptr);
    const ControllerSettings& s = timings.controller;
    EXPECT_EQ(s.ecc_source, c.source) << c.what;
    EXPECT_EQ(s.ecc_bits, c.bits) << c.what;
    EXPECT_EQ(s.ecc_codeword, c.codeword) << c.what;
    EXPECT_EQ(s.bus_width, c.bus_width) << c.what;
  }
}

// The shipped dump's view, checked by hand once.
TEST(TimingsView, ShippedDumpMatchesItsGoldenText) {
  Dump dump;
  parse_dump(dump_bytes(), dump);
  const std::string text = render(dump.page, Output::Text, {}, &dump);
  EXPECT_EQ(text, read_file(kSamples + "/mt29f32g08abcdbj4.onfi-dump.all.timings.txt"));
  EXPECT_NE(text.find("Device tree:\n nand-bus-width = <8>;\n nand-ecc-strength = <24>;\n"
                      " nand-ecc-step-size = <1024>;\n"),
            std::string::npos);
}

TEST(TimingsView, JsonMembers) {
  Dump dump;
  parse_dump(dump_bytes(), dump);
  const json document = json::parse(render(dump.page, Output::Json, "nv-ddr:4", &dump));
  ASSERT_EQ(document["timings"].size(), 1U);
  const json& nv_ddr = document["timings"][0];
  EXPECT_EQ(nv_ddr["family"], "NV-DDR");
  EXPECT_EQ(nv_ddr["mode"], 4);
  EXPECT_EQ(nv_ddr["rate"], 166);
  EXPECT_EQ(nv_ddr["rate_unit"], "MT/s");
  EXPECT_EQ(nv_ddr["parameters"][4],
            json::parse(R"({"name":"tCAH","limit":"min","ns":2.5,"source":"table"})"));
  EXPECT_EQ(document["controller"]["device_tree"],
            json::parse(R"({"nand-bus-width":8,"nand-ecc-strength":24,"nand-ecc-step-size":1024})"));
  EXPECT_EQ(document["controller"]["ecc"]["source"], "extended_page");
  const json none = json::parse(render(parsed(ParamPage{}), Output::Json));
  EXPECT_TRUE(none["timings"].is_null() && none["controller"].is_null());
}

// Every family at its longest fits the room the command gives the view.
TEST(TimingsView, LongestFitsTheDumpReportRoom) {
  const PageBuilder longest = PageBuilder::onfi()
                                  .fill(4, 256, 0xFF)
                                  .le16(129, 0x003F)
                                  .u8(141, 0x3F)
                                  .u8(143, 0x01)
                                  .le16(137, 0)
                                  .le16(139, 0)
                                  .le16(154, 0)
                                  .le16(133, 65535);
  const std::string text = render(parsed(longest), Output::Text);
  EXPECT_LT(text.size() + 1, kDumpReportCapacity) << text.size();
  EXPECT_NE(text.find("NV-DDR3: mode 31"), std::string::npos);
}

TEST(TimingsCommand, OptionsInputsAndUsageErrors) {
  const std::string dump = kSamples + "/mt29f32g08abcdbj4.onfi-dump.bin";
  const std::string page = kSamples + "/mt29f32g08abcdbj4.onfi.bin";
  const std::string golden = read_file(kSamples + "/mt29f32g08abcdbj4.onfi-dump.all.timings.txt");
  const std::string tool = TOLVIK_BINARY;

  // The level argument changes nothing; standard input, a whole dump and a
  // hex listing are read as for the report.
  const RunResult whole = run_tolvik({"-a", "-T", dump, "0"});
  EXPECT_EQ(whole.status, 0);
  EXPECT_EQ(whole.out, kRunHead + golden + "\nlen=" + std::to_string(golden.size()) + "\n");
  EXPECT_EQ(shell("'" + tool + "' -aT - <'" + dump + "'"), whole.out);
  const std::string hex = shell("xxd '" + page + "' | '" + tool + "' -xT -");
  EXPECT_NE(hex.find("ECC from  : unknown: byte 112 is 255"), std::string::npos) << hex;

  const json document = json::parse(run_tolvik({"-j", "--timings=sdr:2", page}).out);
  EXPECT_EQ(document["timings"][0]["mode"], 2);
  EXPECT_TRUE(document.contains("controller"));

  for (const char* bad : {"--timings=nv-ddr2:1", "--timings=sdr:6", "--timings=sdr"}) {
    const RunResult run = run_tolvik({bad, page});
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_EQ(run.out.find(kBannerLine + "Unknown timing mode: " + std::string(bad + 10) +
                           " (tables: sdr:0-5, nv-ddr:0-5)\nUse:\n"),
              0U)
        << run.out;
  }
}

}  // namespace
}  // namespace tolvik::test

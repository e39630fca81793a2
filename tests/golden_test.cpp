// Whole reports compared with expected reports kept as files, each checked by
// hand once: the sample pages in samples/ and the pages built here, whose
// reports sit in tests/golden/, each at levels 0, 1 and 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "test_support.h"

namespace tolvik::test {
namespace {

namespace fs = std::filesystem;

// Claims revision 5.0, so the partial page (86-91, 111) and EZ NAND (115)
// fields, though filled, stay out, and NV-DDR3 modes 16-17 (116) and NV-LPDDR4
// mode 16 (120) show. Also: a NUL inside the manufacturer, a full-width model,
// an endurance beyond the bound, a plain valid-block endurance beyond it,
// a plane-bits high nibble, NV-DDR2 mode 11 beyond its table, flag bits
// without a text, and bytes 256-511 that must not matter.
ParamPage late_revision_onfi_page() {
  return PageBuilder::onfi()
      .fields({{4, 2, 0x1FFE},   {6, 2, 0x66DA}, {8, 2, 0xF3C5},   {10, 1, 0x15},    {11, 1, 0xA5},
               {12, 2, 0x0030},  {14, 1, 2},     {15, 1, 0x03},    {64, 1, 0x5D},    {65, 1, 24},
               {66, 1, 7},       {80, 4, 16384}, {84, 2, 2208},    {86, 4, 4096},    {90, 2, 552},
               {92, 4, 1536},    {96, 4, 1980},  {100, 1, 2},      {101, 1, 0x35},   {102, 1, 3},
               {103, 2, 80},     {105, 1, 3},    {106, 1, 6},      {107, 1, 2},      {108, 1, 5},
               {109, 1, 6},      {110, 1, 1},    {111, 1, 0x02},   {112, 1, 120},    {113, 1, 0x13},
               {114, 1, 0x35},   {115, 1, 0x07}, {116, 2, 0x0003}, {120, 1, 0x01},   {128, 1, 6},
               {129, 2, 0x003F}, {133, 2, 2200}, {135, 2, 15000},  {137, 2, 60},     {139, 2, 400},
               {142, 1, 0xFF},   {144, 2, 25},   {146, 2, 43},     {148, 2, 7},      {150, 1, 4},
               {152, 2, 95},     {154, 2, 150},  {159, 1, 0x21},   {160, 2, 0xFFFF}, {162, 1, 0x0F},
               {164, 2, 0x0105}, {180, 1, 16},   {236, 2, 0x3FFF}, {253, 1, 2}})
      .text(32, std::string("TOLVIK\0SEMI", 11))
      .text(44, "TV1T08LPDDR4-NVQ5A01")
      .fill(256, kPageSize, 0xA5)
      .fix_crc();
}

// Every flag bit set and every field a value unlike its neighbours', so a
// field read a byte off shows. Revision 4.2 with bit 15: EZ NAND and the
// partial page show, NV-DDR3 modes 16-31 (116) do not. ECC bits 254 is the
// last number before "See EPP".
ParamPage every_flag_onfi_page() {
  return PageBuilder::onfi()
      .fields({{4, 2, 0x8FFE},   {6, 2, 0xFFFF},   {8, 2, 0xFFFF},   {10, 1, 0xFF},    {11, 1, 0xFF},
               {12, 2, 0x1234},  {14, 1, 3},       {15, 1, 0xFF},    {64, 1, 0x2C},    {65, 1, 255},
               {66, 1, 199},     {80, 4, 16384},   {84, 2, 1216},    {86, 4, 4096},    {90, 2, 304},
               {92, 4, 256},     {96, 4, 4148},    {100, 1, 4},      {101, 1, 0x23},   {102, 1, 4},
               {103, 2, 291},    {105, 1, 3},      {106, 1, 4},      {107, 1, 8},      {108, 1, 7},
               {109, 1, 2},      {110, 1, 5},      {111, 1, 26},     {112, 1, 254},    {113, 1, 0xA2},
               {114, 1, 0xFF},   {115, 1, 0xFF},   {116, 2, 0xFFFF}, {120, 1, 0x0F},   {128, 1, 11},
               {129, 2, 0x0017}, {133, 2, 2200},   {135, 2, 15000},  {137, 2, 60},     {139, 2, 400},
               {141, 1, 0x3C},   {142, 1, 0xFF},   {144, 2, 45},     {146, 2, 5},      {148, 2, 123},
               {150, 1, 9},      {152, 2, 95},     {154, 2, 150},    {159, 1, 0xC3},   {160, 2, 0x0FFF},
               {162, 1, 0x03},   {164, 2, 0x0102}, {180, 1, 7},      {236, 2, 0x00FF}, {253, 1, 9}})
      .text(32, "ACME        ")
      .text(44, "NAND-1G-X8          ")
      .fix_crc();
}

// Neighbouring fields hold different values; ECC blocks 1 and 3 are set, 0
// and 2 empty.
ParamPage full_report_jedec_page() {
  return PageBuilder::jedec()
      .fields({{4, 2, 0x0006},  {6, 2, 0x0261}, {8, 1, 0x41},      {9, 1, 0x04},    {10, 1, 0x01},
               {11, 2, 0x0290}, {13, 1, 3},     {64, 1, 0xAD},     {80, 4, 16384},  {84, 2, 1952},
               {92, 4, 384},    {96, 4, 2192},  {100, 1, 2},       {101, 1, 0x23},  {102, 1, 3},
               {103, 1, 1},     {104, 1, 0x12}, {105, 1, 0x05},    {144, 2, 0x3F},  {146, 2, 0xFF},
               {148, 2, 0x1F},  {152, 1, 0x03}, {153, 2, 2200},    {155, 2, 10000}, {157, 2, 85},
               {159, 2, 90},    {161, 2, 400},  {163, 2, 35},      {165, 2, 42},    {167, 2, 17},
               {169, 1, 0x15},  {170, 2, 300},  {172, 4, 0x1FFFF}, {176, 4, 1},     {208, 1, 1},
               {209, 1, 5},     {210, 1, 2},    {219, 1, 24},      {220, 1, 10},    {221, 2, 100},
               {223, 1, 3},     {224, 1, 3},    {235, 1, 8},       {236, 1, 9},     {237, 2, 40},
               {239, 1, 1},     {240, 1, 4},    {420, 2, 0x0103}})
      .text(32, "ACME MEMORY ")
      .text(44, "ZX9-64G")
      .fix_crc();
}

// Every byte after the signature 0xFF: every flag, block and line, every
// number at its widest, the CRC wrong.
ParamPage all_ones(PageBuilder page) { return page.fill(4, kPageSize, 0xFF); }

struct GoldenCase {
  std::string name;  // also the test name
  std::function<ParamPage()> page;
  int level;
  std::string golden;  // path of the expected report
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.name << " at level " << c.level; }

const std::vector<std::string> kSampleStems = {"mt29f1g08abbda3w.onfi", "mt29f32g08abcdbj4.onfi",
                                               "tv256g08mdt4b.jedec"};

std::vector<GoldenCase> golden_cases() {
  std::vector<std::pair<std::string, std::function<ParamPage()>>> built = {
      {"onfi-late-revision", late_revision_onfi_page},
      {"onfi-every-flag", every_flag_onfi_page},
      {"onfi-all-ones", [] { return all_ones(PageBuilder::onfi()); }},
      {"jedec-full-report", full_report_jedec_page},
      {"jedec-all-ones", [] { return all_ones(PageBuilder::jedec()); }},
  };
  std::vector<GoldenCase> cases;
  for (int level = 0; level <= 2; ++level) {
    const std::string suffix = ".level" + std::to_string(level) + ".txt";
    for (const std::string& stem : kSampleStems) {
      const auto page = [stem] { return PageBuilder::from_file(kSamples + "/" + stem + ".bin").page(); };
      cases.push_back({stem, page, level, kSamples + "/" + stem + suffix});
    }
    for (const auto& [name, page] : built)
      cases.push_back({name, page, level, kGolden + "/" + name + suffix});
  }
  return cases;
}

class GoldenReport : public testing::TestWithParam<GoldenCase> {};

// Levels below 0 must write what 0 writes, and levels above 2 what 2 writes.
TEST_P(GoldenReport, MatchesHandCheckedReport) {
  const GoldenCase& c = GetParam();
  ASSERT_TRUE(fs::is_regular_file(c.golden)) << "missing " << c.golden;
  const std::string expected = read_file(c.golden);
  const std::vector<int> levels = c.level == 0   ? std::vector<int>{0, -1, INT_MIN}
                                  : c.level == 2 ? std::vector<int>{2, 3, INT_MAX}
                                                 : std::vector<int>{1};
  for (const int level : levels) EXPECT_EQ(decode(c.page(), level), expected) << c.golden << " at " << level;
}

INSTANTIATE_TEST_SUITE_P(Pages, GoldenReport, testing::ValuesIn(golden_cases()),
                         [](const testing::TestParamInfo<GoldenCase>& param) {
                           std::string name = param.param.name + "_level" + std::to_string(param.param.level);
                           std::replace_if(
                               name.begin(), name.end(),
                               [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; }, '_');
                           return name;
                         });

// A page added to samples/ without expected reports would go untested.
TEST(GoldenFiles, EverySamplePageHasItsReports) {
  for (const fs::directory_entry& entry : fs::directory_iterator(kSamples)) {
    if (entry.path().extension() != ".bin") continue;
    const std::string stem = entry.path().stem().string();
    // Whole dumps have their own reports, checked with the dump tests.
    if (stem.ends_with("-dump")) continue;
    EXPECT_NE(std::find(kSampleStems.begin(), kSampleStems.end(), stem), kSampleStems.end())
        << stem << ".bin has no golden reports";
  }
  for (const std::string& stem : kSampleStems)
    EXPECT_EQ(fs::file_size(kSamples + "/" + stem + ".bin"), stem.ends_with(".jedec") ? 512U : 256U) << stem;
}

}  // namespace
}  // namespace tolvik::test

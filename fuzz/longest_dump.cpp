// Searches for the whole dump with the longest -a report, to size the dump
// report buffer by measurement.
//
// Only ONFI dumps are searched: a JEDEC dump adds the same copy, decoded and
// size lines to a page report that is shorter than ONFI's longest, and has no
// extended page. The dump is built from a parameter vector: the page's bytes
// 4 to 255 (the same in all three copies, the extended-page feature bit kept
// set), and the extended page's shape (how its copies fail, and per section
// entry its type, length, leading empty blocks and the bytes of the blocks
// after them). Hill climbing sets each parameter to each of its values and
// keeps the longest report, until no change makes it longer. Report lines
// depend on one field each, so coordinate moves reach the maximum; the
// starting shape (every section an ECC section with blocks from number 100
// on) is the one that moves alone would find slowest.
//
// Usage: tolvik_longest_dump [--json] [page.bin] [out.bin]   starts from the
// page (e.g. fuzz/corpus/longest.onfi.bin) and writes the longest dump found.
// With --json it measures the JSON document instead (start from
// fuzz/corpus/longest-json.onfi.bin).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tolvik.h"

namespace {

constexpr std::size_t kPageParams = 252;  // page bytes 4..255
constexpr std::size_t kSections = 8;
constexpr std::size_t kSectionParams = 9;  // type, units, leading empty blocks, block bytes 0..5
constexpr std::size_t kEppMode = kPageParams;
constexpr std::size_t kParams = kPageParams + 1 + kSections * kSectionParams;

std::vector<std::uint8_t> dump(tolvik::kDumpLimit);
std::vector<std::uint8_t> epp;
std::size_t dump_size = 0;
char report[4 * tolvik::kDumpReportCapacity];
tolvik::Output output = tolvik::Output::Text;

void build(const std::uint8_t* params) {
  std::uint8_t page[256] = {'O', 'N', 'F', 'I'};
  std::memcpy(page + 4, params, kPageParams);
  page[6] |= 0x80;  // announces the extended page
  const std::size_t length = 16U * (page[12] | static_cast<std::size_t>(page[13]) << 8U);
  const std::size_t offset = 256U * (page[14] == 0 ? 3U : page[14]);
  dump_size = std::min(tolvik::kDumpLimit, std::max<std::size_t>(768, offset + 3 * length));
  std::fill(dump.begin(), dump.begin() + static_cast<std::ptrdiff_t>(dump_size), 0);
  for (std::size_t k = 0; k < 3; ++k) std::memcpy(dump.data() + 256 * k, page, sizeof page);
  if (length < 32) return;

  epp.assign(length, 0);
  const std::uint8_t mode = params[kEppMode] % 3;  // 0 valid, 1 CRC wrong, 2 no signature
  if (mode != 2) std::memcpy(epp.data() + 2, "EPPS", 4);
  std::size_t data = 32;
  for (std::size_t i = 0; i < kSections; ++i) {
    const std::uint8_t* s = params + kEppMode + 1 + i * kSectionParams;
    epp[16 + 2 * i] = s[0];
    epp[17 + 2 * i] = s[1];
    for (std::size_t j = s[2]; j < s[1]; ++j) {
      const std::size_t at = data + 16 * j;
      if (at + 6 <= length) std::memcpy(epp.data() + at, s + 3, 6);
    }
    data += 16U * s[1];
  }
  const std::uint16_t crc = static_cast<std::uint16_t>(
      tolvik::crc16_param_page(epp.data() + 2, length - 2, tolvik::kParamPageCrcSeed) ^
      (mode == 1 ? 1U : 0U));
  epp[0] = static_cast<std::uint8_t>(crc & 0xFFU);
  epp[1] = static_cast<std::uint8_t>(crc >> 8);
  for (std::size_t k = 0; k < 3 && offset + (k + 1) * length <= dump_size; ++k) {
    std::memcpy(dump.data() + offset + k * length, epp.data(), length);
  }
}

std::size_t report_length(const std::uint8_t* params) {
  build(params);
  return tolvik::decode_dump({dump.data(), dump_size}, report, tolvik::kDefaultLevel, output).needed;
}

std::size_t climb(std::uint8_t* params) {
  std::size_t best = report_length(params);
  for (bool improved = true; improved;) {
    improved = false;
    for (std::size_t i = 0; i < kParams; ++i) {
      std::uint8_t best_value = params[i];
      for (unsigned v = 0; v < 256; ++v) {
        params[i] = static_cast<std::uint8_t>(v);
        const std::size_t n = report_length(params);
        if (n > best) {
          best = n;
          best_value = params[i];
          improved = true;
        }
      }
      params[i] = best_value;
    }
    std::printf("pass: %zu\n", best);
    std::fflush(stdout);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--json") == 0) {
    output = tolvik::Output::Json;
    --argc;
    ++argv;
  }
  std::uint8_t params[kParams] = {};
  if (argc > 1) {
    std::FILE* f = std::fopen(argv[1], "rb");
    std::uint8_t page[256] = {};
    if (f == nullptr || std::fread(page, 1, sizeof page, f) != sizeof page) {
      std::fprintf(stderr, "cannot read %s\n", argv[1]);
      return 1;
    }
    std::fclose(f);
    std::memcpy(params, page + 4, kPageParams);
  }
  // Eight full ECC sections.
  params[12 - 4] = 0xFA;  // 2042 units: the table and 8 x 255 units of sections
  params[13 - 4] = 0x07;
  params[kEppMode] = 2;
  for (std::size_t i = 0; i < kSections; ++i) {
    std::uint8_t* s = params + kEppMode + 1 + i * kSectionParams;
    const std::uint8_t shape[kSectionParams] = {2, 255, 100, 255, 31, 0xFF, 0xFF, 255, 255};
    std::memcpy(s, shape, sizeof shape);
  }
  const std::size_t longest = climb(params);
  std::printf("onfi dump longest%s: %zu characters (%zu-byte dump)\n",
              output == tolvik::Output::Json ? " JSON" : "", longest, dump_size);
  if (argc > 2) {
    build(params);
    std::FILE* f = std::fopen(argv[2], "wb");
    if (f == nullptr || std::fwrite(dump.data(), 1, dump_size, f) != dump_size) {
      std::fprintf(stderr, "cannot write %s\n", argv[2]);
      return 1;
    }
    std::fclose(f);
  }
  return 0;
}

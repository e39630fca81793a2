// Searches for the page with the longest report of each layout, to size the
// report buffer by measurement rather than by estimate.
//
// Hill climbing at level 2 (the longest level): starting from several pages,
// every byte after the signature, then every pair of neighbouring bytes, is set
// to each of its values and the longest report kept, until no change makes the
// report longer. Starts that end on the same length are good evidence that it
// is the maximum: report lines depend on one field each, apart from a few
// revision and flag gates that single-byte and pair moves both reach.
//
// The JSON document names the fields of a maker's vendor block where the
// maker documents them, chosen by the JEDEC ID and the whole maker text: no
// single move reaches such a text, so with --json some starts carry them.
//
// Usage: tolvik_longest [--json] [directory]   writes longest.onfi.bin and
// longest.jedec.bin there when a directory is given. With --json it measures
// the JSON document instead (JSON ignores the level) and writes
// longest-json.onfi.bin and longest-json.jedec.bin.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "tolvik.h"

namespace {

char report[tolvik::kJsonCapacity];
tolvik::Output output = tolvik::Output::Text;

std::size_t report_length(const tolvik::ParamPage& page) {
  return tolvik::decode_page(page, report, tolvik::kDefaultLevel, output).needed;
}

// One pass setting each byte in [4, end) to its best value; true if any
// change lengthened the report.
bool climb_bytes(tolvik::ParamPage& page, std::size_t end, std::size_t& best) {
  bool improved = false;
  for (std::size_t i = 4; i < end; ++i) {
    const std::uint8_t kept = page.bytes[i];
    std::uint8_t best_value = kept;
    for (unsigned v = 0; v < 256; ++v) {
      page.bytes[i] = static_cast<std::uint8_t>(v);
      const std::size_t n = report_length(page);
      if (n > best) {
        best = n;
        best_value = page.bytes[i];
        improved = true;
      }
    }
    page.bytes[i] = best_value;
  }
  return improved;
}

// The same for each pair of neighbouring bytes, all 65536 values.
bool climb_pairs(tolvik::ParamPage& page, std::size_t end, std::size_t& best) {
  bool improved = false;
  for (std::size_t i = 4; i + 1 < end; ++i) {
    const std::uint8_t kept[2] = {page.bytes[i], page.bytes[i + 1]};
    std::uint8_t best_values[2] = {kept[0], kept[1]};
    for (unsigned v = 0; v < 65536; ++v) {
      page.bytes[i] = static_cast<std::uint8_t>(v & 0xFFU);
      page.bytes[i + 1] = static_cast<std::uint8_t>(v >> 8);
      const std::size_t n = report_length(page);
      if (n > best) {
        best = n;
        best_values[0] = page.bytes[i];
        best_values[1] = page.bytes[i + 1];
        improved = true;
      }
    }
    page.bytes[i] = best_values[0];
    page.bytes[i + 1] = best_values[1];
  }
  return improved;
}

// Byte moves until none helps; then pair moves, and bytes again after any
// pair move that helped.
std::size_t climb(tolvik::ParamPage& page, std::size_t end, bool with_pairs) {
  std::size_t best = report_length(page);
  do {
    while (climb_bytes(page, end, best)) {
    }
  } while (with_pairs && climb_pairs(page, end, best));
  return best;
}

struct Layout {
  const char* signature;
  const char* name;
  std::size_t end;  // bytes past this never change the report
};

}  // namespace

int main(int argc, char** argv) {
  const char* prefix = "longest.";
  if (argc > 1 && std::strcmp(argv[1], "--json") == 0) {
    output = tolvik::Output::Json;
    prefix = "longest-json.";
    --argc;
    ++argv;
  }
  const Layout layouts[] = {{"ONFI", "onfi", 256}, {"JESD", "jedec", tolvik::kPageSize}};
  std::mt19937 random(20302);  // fixed: the same starts every run
  for (const Layout& layout : layouts) {
    tolvik::ParamPage longest{};
    std::size_t longest_length = 0;
    // Byte moves alone from many starts (cheap), then pair moves from the
    // best page found: a few minutes in all.
    constexpr int kStarts = 40;
    for (int start = 0; start < kStarts; ++start) {
      tolvik::ParamPage page{};
      // All zero, all ones, then random pages; for the ONFI document, starts
      // 2 and 3 are zero pages of the makers whose vendor blocks it names.
      constexpr struct {
        const char text[13];
        std::uint8_t id;
      } kMakers[] = {{"MICRON      ", 0x2C}, {"MACRONIX    ", 0xC2}};
      const bool maker = output == tolvik::Output::Json && layout.end == 256 && (start == 2 || start == 3);
      for (std::uint8_t& b : page.bytes) {
        b = start == 0 || maker ? 0 : start == 1 ? 0xFF : static_cast<std::uint8_t>(random() & 0xFFU);
      }
      std::memcpy(page.bytes, layout.signature, 4);
      if (maker) {
        std::memcpy(page.bytes + 32, kMakers[start - 2].text, 12);
        page.bytes[64] = kMakers[start - 2].id;
      }
      const std::size_t n = climb(page, layout.end, false);
      std::printf("%s start %d: %zu\n", layout.name, start, n);
      std::fflush(stdout);
      if (n > longest_length) {
        longest_length = n;
        longest = page;
      }
    }
    const std::size_t with_pairs = climb(longest, layout.end, true);
    std::printf("%s after pair moves: %zu\n", layout.name, with_pairs);
    longest_length = with_pairs;
    std::printf("%s longest: %zu characters\n", layout.name, longest_length);
    if (argc > 1) {
      const std::string path = std::string(argv[1]) + "/" + prefix + layout.name + ".bin";
      std::FILE* f = std::fopen(path.c_str(), "wb");
      if (f == nullptr || std::fwrite(longest.bytes, 1, sizeof longest.bytes, f) != sizeof longest.bytes) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
      }
      std::fclose(f);
    }
  }
  return 0;
}

// libFuzzer target: any bytes as a page image, decoded at every report level,
// with the report's invariants checked on every input. A violation aborts, so
// libFuzzer keeps the input as a crash artifact.
//
// The input is handled as the tool handles a file: its first 512 bytes are the
// page, and a shorter input is followed by zeros.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "tolvik.h"

namespace {

// The report gets twice the room the tool gives it, so that a report too long
// for the tool's buffer shows as too long instead of being cut short.
constexpr std::size_t kRoom = 2 * tolvik::kReportCapacity;

// The longest reports any page gives, measured with tolvik_longest
// (longest_report.cpp) and stated beside kReportCapacity. A longer report
// means a decoder changed: measure again and update both places.
constexpr std::size_t kLongestOnfi = 2737;
constexpr std::size_t kLongestJedec = 2611;
static_assert(kLongestOnfi < tolvik::kReportCapacity && kLongestJedec < tolvik::kReportCapacity);

// Bytes the decoder must leave alone hold this value.
constexpr char kUntouched = '\x5A';

// Longest report this run saw per layout, printed when it ends.
std::size_t longest_onfi = 0;
std::size_t longest_jedec = 0;

void print_longest() {
  std::fprintf(stderr, "longest report: ONFI %zu, JEDEC %zu characters\n", longest_onfi, longest_jedec);
}

[[noreturn]] void violated(const char* what, int level) {
  std::fprintf(stderr, "invariant violated at level %d: %s\n", level, what);
  std::abort();
}

struct Decoded {
  char text[kRoom];
  std::size_t length;

  std::string_view view() const { return {text, length}; }
};

// A buffer as the decoder found it, to compare with.
char pristine[kRoom];

bool untouched(const char* from, const char* to) {
  return std::memcmp(from, pristine, static_cast<std::size_t>(to - from)) == 0;
}

// longest: the layout's longest report, 0 for a page without signature.
void decode(const tolvik::ParamPage& page, int level, std::size_t longest, Decoded& out) {
  std::memset(out.text, kUntouched, sizeof out.text);
  out.length = tolvik::decode_parameter_page(page, out.text, level);
  const std::size_t n = out.length;
  if (longest == 0) {
    if (n != 0) violated("a page without signature returned a length", level);
    if (!untouched(out.text, out.text + kRoom)) violated("a page without signature wrote", level);
    return;
  }
  if (n == 0) violated("a recognised page gave no report", level);
  if (n > longest) violated("report longer than the measured longest", level);
  if (out.text[n] != '\0') violated("no NUL at the returned length", level);
  if (std::memchr(out.text, '\0', n) != nullptr) violated("NUL before the returned length", level);
  if (!untouched(out.text + n + 1, out.text + kRoom)) violated("wrote past the report's NUL", level);
  if (out.text[n - 1] != '\n') violated("report does not end with a newline", level);
}

std::vector<std::string_view> lines(std::string_view text) {
  std::vector<std::string_view> result;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t stop = end == std::string_view::npos ? text.size() : end + 1;
    result.push_back(text.substr(0, stop));
    text.remove_prefix(stop);
  }
  return result;
}

// Every line of the shorter report, in order, among the lines of the longer.
bool lines_contained(std::string_view shorter, std::string_view longer) {
  const std::vector<std::string_view> wanted = lines(shorter);
  const std::vector<std::string_view> have = lines(longer);
  std::size_t at = 0;
  for (const std::string_view line : have) {
    if (at < wanted.size() && line == wanted[at]) ++at;
  }
  return at == wanted.size();
}

// Large enough for the reports of one input; static so each run reuses them.
Decoded by_level[3];
Decoded scratch;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::memset(pristine, kUntouched, sizeof pristine);
  std::atexit(print_longest);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tolvik::ParamPage page{};
  std::memcpy(page.bytes, data, size < tolvik::kPageSize ? size : tolvik::kPageSize);
  const bool jedec = std::memcmp(page.bytes, "JESD", 4) == 0;
  const bool onfi = !jedec && std::memcmp(page.bytes, "ONFI", 4) == 0;
  const std::size_t longest = jedec ? kLongestJedec : onfi ? kLongestOnfi : 0;

  for (int level = 0; level <= 2; ++level) decode(page, level, longest, by_level[level]);
  if (longest == 0) return 0;

  if (!lines_contained(by_level[0].view(), by_level[1].view())) violated("level-0 line missing at 1", 1);
  if (!lines_contained(by_level[1].view(), by_level[2].view())) violated("level-1 line missing at 2", 2);

  // Levels beyond the named ones act as the nearest named one.
  decode(page, INT_MIN, longest, scratch);
  if (scratch.view() != by_level[0].view()) violated("report differs from level 0", INT_MIN);
  decode(page, INT_MAX, longest, scratch);
  if (scratch.view() != by_level[2].view()) violated("report differs from level 2", INT_MAX);

  if (onfi) {
    // Every byte from 256 on changed: an ONFI report must not notice.
    tolvik::ParamPage other = page;
    for (std::size_t i = 256; i < tolvik::kPageSize; ++i)
      other.bytes[i] = static_cast<std::uint8_t>(~page.bytes[i]);
    // Level 2 suffices: every lower level's line is among its lines.
    decode(other, 2, longest, scratch);
    if (scratch.view() != by_level[2].view()) violated("ONFI report depends on bytes 256-511", 2);
  }

  std::size_t& seen = jedec ? longest_jedec : longest_onfi;
  if (by_level[2].length > seen) seen = by_level[2].length;
  return 0;
}

// Whole dumps of the parameter page area: every copy of the page checked, a
// good copy (or the bit-wise majority of three) decoded, the ONFI extended
// parameter page walked section by section, and the device's size.
//
// Every offset that comes from the input (the extended page's place and
// length, its sections' lengths) is checked against the bytes read before
// anything at it is read.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "decode/decode.h"
#include "decode/page.h"
#include "decode/report.h"
#include "jedec/jedec.h"
#include "jedec/layout.h"
#include "onfi/layout.h"
#include "onfi/onfi.h"
#include "tolvik.h"

namespace tolvik {
namespace detail {
namespace {

// A device keeps at least three copies of its page; only three are looked at,
// enough for a majority.
constexpr std::size_t kCopiesRead = 3;

struct DumpLayout {
  Layout layout;
  const char signature[5];
  std::size_t copy_size;
  std::size_t crc_covered;  // the stored CRC follows the bytes it covers
};

// In the order they are tried: a JEDEC dump wins over ONFI bytes in it.
constexpr DumpLayout kDumpLayouts[] = {
    {Layout::Jedec, "JESD", 512, kJedecCrcCovered},
    {Layout::Onfi, "ONFI", 256, kOnfiCrcCovered},
};

// Both layouts keep the organisation fields the size lines need at the same
// places.
static_assert(jedec::kPageData == onfi::kPageData && jedec::kPageSpare == onfi::kPageSpare &&
              jedec::kPagesPerBlock == onfi::kPagesPerBlock && jedec::kBlocksPerLun == onfi::kBlocksPerLun &&
              jedec::kLunsPerChip == onfi::kLunsPerChip);

// The ONFI feature bit announcing an extended parameter page, and where the
// page says how long it is and how many copies of the page precede it.
constexpr unsigned kFeatureExtendedPage = 7;
constexpr std::uint32_t kEppLengthUnit = 16;
constexpr std::uint32_t kCopiesBeforeEppDefault = 3;

// The extended parameter page: CRC of bytes 2 onwards, signature, a table of
// eight sections (type, length in units of 16 bytes), then their data.
constexpr std::size_t kEppCrc = 0;  // 16 bits
constexpr std::size_t kEppSignature = 2;
constexpr std::size_t kEppCrcFrom = 2;
constexpr std::size_t kEppSectionTable = 16;
constexpr std::size_t kEppSectionEntries = 8;
constexpr std::size_t kEppSectionData = 32;
constexpr std::uint32_t kEppSectionUnit = 16;
constexpr std::uint32_t kEppSectionEcc = 2;

// An ECC information block of an ECC section.
constexpr std::size_t kEccBlockSize = 16;
constexpr std::size_t kEccBlockBits = 0;               // 8 bits
constexpr std::size_t kEccBlockCodewordSize = 1;       // 8 bits, a power of two
constexpr std::size_t kEccBlockMaxBadBlocks = 2;       // 16 bits, per LUN
constexpr std::size_t kEccBlockEnduranceMantissa = 4;  // 8 bits
constexpr std::size_t kEccBlockEnduranceExponent = 5;  // 8 bits
constexpr std::uint32_t kEccBlocksShown = 8;

const DumpLayout* find_layout(std::span<const std::uint8_t> dump) {
  for (const DumpLayout& layout : kDumpLayouts) {
    for (std::size_t k = 0; k < kCopiesRead; ++k) {
      const std::size_t at = k * layout.copy_size;
      if (at + 4 <= dump.size() && std::memcmp(dump.data() + at, layout.signature, 4) == 0) return &layout;
    }
  }
  return nullptr;
}

PageCheck check_copy(const ParamPage& copy, const DumpLayout& layout) {
  PageCheck check;
  check.layout = layout.layout;
  check.stored = static_cast<std::uint16_t>(page_le16(copy, layout.crc_covered));
  check.computed = crc16_param_page(copy.bytes, layout.crc_covered, kParamPageCrcSeed);
  return check;
}

// Each bit set where at least two of the three copies have it set.
constexpr std::uint8_t bit_majority(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  return static_cast<std::uint8_t>((a & b) | (a & c) | (b & c));
}

// Which copy was decoded: a copy k (from 1), or the majority of three. ok:
// it passes its check.
struct Choice {
  bool majority = false;
  std::uint32_t copy = 1;
  bool ok = false;
};

// The texts one kind of choice is told with.
struct ChoiceTexts {
  Format<std::uint32_t> copy;
  Format<> majority;
  Format<std::uint32_t> none_of_some;
  Format<std::uint32_t> none_of_three;
};

constexpr ChoiceTexts kPageChoiceTexts = {
    "Decoded   : copy %u\n",
    "Decoded   : majority of copies 1-3\n",
    "Decoded   : copy %u, no copy passes the CRC\n",
    "Decoded   : copy %u, neither a copy nor the majority passes the CRC\n",
};

constexpr ChoiceTexts kEppChoiceTexts = {
    "Ext used  : copy %u\n",
    "Ext used  : majority of copies 1-3\n",
    "Ext used  : copy %u, no copy is valid\n",
    "Ext used  : copy %u, neither a copy nor the majority is valid\n",
};

// The first copy that passes, else the majority of three when it passes,
// else copy 1 as it is.
template <class MajorityPasses>
Choice choose(const bool* passes, std::size_t count, MajorityPasses majority_passes) {
  for (std::size_t k = 0; k < count; ++k) {
    if (passes[k]) return {false, static_cast<std::uint32_t>(k + 1), true};
  }
  if (count == kCopiesRead && majority_passes()) return {true, 0, true};
  return {};
}

void report_choice(Report& report, std::string_view name, const Choice& choice, std::size_t count,
                   const ChoiceTexts& texts) {
  report_object_begin(report, name);
  report_json_text(report, "source", choice.majority ? "majority" : "copy");
  if (choice.majority) {
    report_append(report, 0, texts.majority);
    report_json_null(report, "copy");
  } else if (choice.ok) {
    report_field(report, 0, "copy", texts.copy, choice.copy);
  } else {
    report_field(report, 0, "copy", count == kCopiesRead ? texts.none_of_three : texts.none_of_some,
                 choice.copy);
  }
  report_json_bool(report, "ok", choice.ok);
  report_object_end(report);
}

// The extended page in use: one copy in the dump, or the bit-wise majority of
// three, read byte by byte so that no copy of it is made. Offsets at or past
// its length read as zero.
struct ExtendedPage {
  const std::uint8_t* copies[kCopiesRead] = {};
  std::size_t length = 0;
  bool majority = false;

  [[nodiscard]] std::uint8_t u8(std::size_t offset) const {
    if (offset >= length) return 0;
    if (!majority) return copies[0][offset];
    return bit_majority(copies[0][offset], copies[1][offset], copies[2][offset]);
  }
  [[nodiscard]] std::uint32_t le16(std::size_t offset) const {
    return static_cast<std::uint32_t>(u8(offset) | u8(offset + 1) << 8);
  }
};

struct EppCheck {
  std::uint16_t stored = 0;
  std::uint16_t computed = 0;
  bool signature = false;

  [[nodiscard]] bool valid() const { return signature && stored == computed; }
};

EppCheck check_extended_page(const ExtendedPage& epp) {
  EppCheck check;
  check.stored = static_cast<std::uint16_t>(epp.le16(kEppCrc));
  check.signature = epp.u8(kEppSignature) == 'E' && epp.u8(kEppSignature + 1) == 'P' &&
                    epp.u8(kEppSignature + 2) == 'P' && epp.u8(kEppSignature + 3) == 'S';
  if (!epp.majority) {
    check.computed =
        crc16_param_page(epp.copies[0] + kEppCrcFrom, epp.length - kEppCrcFrom, kParamPageCrcSeed);
    return check;
  }
  // The majority a piece at a time: the CRC carries over from piece to piece.
  std::uint8_t piece[256];
  std::uint16_t crc = kParamPageCrcSeed;
  for (std::size_t at = kEppCrcFrom; at < epp.length;) {
    const std::size_t n = std::min(sizeof piece, epp.length - at);
    for (std::size_t i = 0; i < n; ++i) piece[i] = epp.u8(at + i);
    crc = crc16_param_page(piece, n, crc);
    at += n;
  }
  check.computed = crc;
  return check;
}

void report_epp_copy(Report& report, std::uint32_t k, const EppCheck& check) {
  report_object_begin(report, "");
  if (check.valid()) {
    report_field(report, 0, {"", "stored"}, "Ext copy %u: 0x%04X - Ok\n", k, check.stored);
    report_json_number(report, "computed", check.computed);
  } else if (check.stored != check.computed) {
    report_field(report, 0, {"", "stored", "computed"}, "Ext copy %u: 0x%04X - Wrong (computed 0x%04X)\n", k,
                 check.stored, check.computed);
  } else {
    report_field(report, 0, {"", "stored"}, "Ext copy %u: 0x%04X - Wrong (no EPPS signature)\n", k,
                 check.stored);
    report_json_number(report, "computed", check.computed);
  }
  report_json_bool(report, "ok", check.valid());
  report_json_bool(report, "signature", check.signature);
  report_object_end(report);
}

void report_ecc_block(const ExtendedPage& epp, std::size_t at, std::uint32_t index, Report& report) {
  report_object_begin(report, "");
  report_field(report, 0, "index", "ECC information block %u:\n", index);
  report_field(report, 0, "bits", "BitCorrECC: %u\n", std::uint32_t{epp.u8(at + kEccBlockBits)});
  const std::uint32_t codeword = epp.u8(at + kEccBlockCodewordSize);
  if (codeword >= 1 && codeword <= 31) {
    report_field(report, 0, {"codeword_size", "codeword_bytes"}, "CodewordSz: %u (%u bytes)\n", codeword,
                 1U << codeword);
  } else {
    report_field(report, 0, "codeword_size", "CodewordSz: %u\n", codeword);
    report_json_null(report, "codeword_bytes");
  }
  report_field(report, 0, "max_bad_blocks_per_lun", "MaxBB/LUN : %u\n", epp.le16(at + kEccBlockMaxBadBlocks));
  report_endurance(report, 0, epp.u8(at + kEccBlockEnduranceMantissa),
                   epp.u8(at + kEccBlockEnduranceExponent));
  report_object_end(report);
}

// The ECC information blocks of a section whose bytes [from, from + bytes)
// lie within the extended page.
void report_ecc_blocks(const ExtendedPage& epp, std::size_t from, std::size_t bytes, Report& report) {
  report_array_begin(report, "ecc_blocks");
  std::uint32_t shown = 0;
  std::uint32_t left_out = 0;
  for (std::size_t j = 0; j < bytes / kEccBlockSize; ++j) {
    const std::size_t at = from + j * kEccBlockSize;
    bool empty = true;
    for (std::size_t i = 0; i < kEccBlockSize && empty; ++i) empty = epp.u8(at + i) == 0;
    if (empty) continue;
    if (shown == kEccBlocksShown) {
      ++left_out;
      continue;
    }
    ++shown;
    report_ecc_block(epp, at, static_cast<std::uint32_t>(j), report);
  }
  report_array_end(report);
  if (left_out != 0) {
    report_field(report, 0, "ecc_blocks_not_shown", "ECC blocks: %u more not shown\n", left_out);
  } else {
    report_json_number(report, "ecc_blocks_not_shown", 0);
  }
}

void report_epp_sections(const ExtendedPage& epp, Report& report) {
  report_array_begin(report, "sections");
  std::size_t data = kEppSectionData;
  for (std::uint32_t i = 0; i < kEppSectionEntries; ++i) {
    const std::uint32_t type = epp.u8(kEppSectionTable + 2 * i);
    const std::uint32_t units = epp.u8(kEppSectionTable + 2 * i + 1);
    if (type == 0 && units == 0) continue;
    const std::uint32_t bytes = units * kEppSectionUnit;
    const bool past_end = data + bytes > epp.length;
    report_object_begin(report, "");
    if (past_end) {
      report_field(report, 0, {"index", "type", "length_bytes"},
                   "Section %u : type %u, %u bytes, past the end\n", i, type, bytes);
    } else {
      report_field(report, 0, {"index", "type", "length_bytes"}, "Section %u : type %u, %u bytes\n", i, type,
                   bytes);
    }
    report_json_bool(report, "past_end", past_end);
    if (type == kEppSectionEcc) report_ecc_blocks(epp, data, past_end ? 0 : bytes, report);
    report_object_end(report);
    // Where one section overruns, the places of the later ones mean nothing.
    if (past_end) break;
    data += bytes;
  }
  report_array_end(report);
}

// What is left empty when the extended page cannot be read.
void report_epp_unread(Report& report, std::string_view state) {
  report_json_text(report, "state", state);
  report_array_begin(report, "copies");
  report_array_end(report);
  report_json_null(report, "used");
  report_array_begin(report, "sections");
  report_array_end(report);
}

// The extended parameter page the decoded ONFI page announces, if any.
// Returns whether the page is fine on that score: none announced, or a valid
// copy (or majority) of it used.
bool report_extended_page(std::span<const std::uint8_t> dump, const ParamPage& page, Layout layout,
                          Report& report) {
  if (layout != Layout::Onfi || (page_le16(page, onfi::kFeatures) >> kFeatureExtendedPage & 1U) == 0) {
    report_json_null(report, "extended_page");
    return true;
  }
  const std::uint32_t length = kEppLengthUnit * page_le16(page, onfi::kEppLength);
  const std::uint32_t copies_before = page_u8(page, onfi::kParamPageCount);
  const std::uint32_t offset = 256U * (copies_before == 0 ? kCopiesBeforeEppDefault : copies_before);
  report_object_begin(report, "extended_page");
  const FieldNames<2> place = {"length_bytes", "offset_bytes"};
  bool ok = false;
  if (length < kEppSectionData) {
    // Not even its CRC, signature and section table fit.
    report_field(report, 0, place, "Ext page  : %u bytes at %u, too short\n", length, offset);
    report_epp_unread(report, "too_short");
  } else if (dump.size() < std::size_t{offset} + length) {
    report_field(report, 0, place, "Ext page  : %u bytes at %u, not in the input\n", length, offset);
    report_epp_unread(report, "not_in_input");
  } else {
    report_field(report, 0, place, "Ext page  : %u bytes at %u\n", length, offset);
    report_json_text(report, "state", "read");
    ExtendedPage copies[kCopiesRead];
    bool valid[kCopiesRead] = {};
    std::size_t count = 0;
    report_array_begin(report, "copies");
    for (; count < kCopiesRead && offset + (count + 1) * length <= dump.size(); ++count) {
      ExtendedPage& copy = copies[count];
      copy.copies[0] = dump.data() + offset + count * length;
      copy.length = length;
      const EppCheck check = check_extended_page(copy);
      valid[count] = check.valid();
      report_epp_copy(report, static_cast<std::uint32_t>(count + 1), check);
    }
    report_array_end(report);
    ExtendedPage all;
    all.length = length;
    all.majority = true;
    for (std::size_t k = 0; k < count; ++k) all.copies[k] = copies[k].copies[0];
    const Choice used = choose(valid, count, [&all] { return check_extended_page(all).valid(); });
    report_choice(report, "used", used, count, kEppChoiceTexts);
    report_epp_sections(used.majority ? all : copies[used.copy - 1], report);
    ok = used.ok;
  }
  report_object_end(report);
  return ok;
}

// The exact product, or false when it does not fit in 64 bits. A zero factor
// makes it zero whatever the others are.
bool exact_product(std::span<const std::uint64_t> factors, std::uint64_t& product) {
  product = 1;
  if (std::find(factors.begin(), factors.end(), 0U) != factors.end()) {
    product = 0;
    return true;
  }
  for (const std::uint64_t factor : factors) {
    if (product > UINT64_MAX / factor) return false;
    product *= factor;
  }
  return true;
}

// "N bytes", with the figure in the largest binary unit not above it.
std::string_view size_text(std::uint64_t bytes, std::span<char> room) {
  constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  char digits[24];
  char* first = digits + sizeof digits;
  std::uint64_t rest = bytes;
  do {
    *--first = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  Report text{room};
  report_append(text, 0, "%s bytes",
                std::string_view(first, static_cast<std::size_t>(digits + sizeof digits - first)));
  std::size_t unit = 0;
  while (unit < std::size(kUnits) && bytes >> (10 * (unit + 1)) != 0) ++unit;
  if (unit != 0) {
    const auto divisor = static_cast<double>(std::uint64_t{1} << (10 * unit));
    report_append(text, 0, " (%.1f %s)", static_cast<double>(bytes) / divisor, kUnits[unit - 1]);
  }
  return {room.data(), text.length};
}

void report_size_line(Report& report, std::string_view name, Format<std::string_view> format,
                      std::span<const std::uint64_t> factors) {
  std::uint64_t bytes = 0;
  if (!exact_product(factors, bytes)) {
    report_append(report, 0, format, std::string_view("more than 18446744073709551615 bytes"));
    report_json_null(report, name);
    return;
  }
  char room[64];
  report_append(report, 0, format, size_text(bytes, room));
  report_json_number(report, name, bytes);
}

void report_sizes(const ParamPage& page, Report& report) {
  const std::uint64_t data = page_le32(page, onfi::kPageData);
  const std::uint64_t spare = page_le16(page, onfi::kPageSpare);
  const std::uint64_t pages = page_le32(page, onfi::kPagesPerBlock);
  const std::uint64_t blocks = page_le32(page, onfi::kBlocksPerLun);
  const std::uint64_t luns = page_u8(page, onfi::kLunsPerChip);
  const std::uint64_t data_factors[] = {data, pages, blocks, luns};
  const std::uint64_t raw_factors[] = {data + spare, pages, blocks, luns};
  report_size_line(report, "data_size_bytes", "Data size : %s\n", data_factors);
  report_size_line(report, "raw_size_bytes", "Raw size  : %s\n", raw_factors);
}

}  // namespace
}  // namespace detail

DecodeResult decode_dump(std::span<const std::uint8_t> dump, std::span<char> buffer, int level,
                         Output output) {
  using namespace detail;
  if (dump.size() > kDumpLimit) dump = dump.first(kDumpLimit);
  Report report{buffer, 0, level, output};
  report_object_begin(report, "");
  report_json_text(report, "version", kVersion);

  const DumpLayout* layout = find_layout(dump);
  if (layout == nullptr) {
    // Nothing to decode: the document of a page without signature, with
    // the members a dump always has, empty.
    const PageCheck none;
    report_array_begin(report, "copies");
    report_array_end(report);
    report_json_null(report, "decoded");
    report_page(ParamPage{}, none, report);
    report_json_null(report, "extended_page");
    report_json_null(report, "data_size_bytes");
    report_json_null(report, "raw_size_bytes");
    report_object_end(report);
    return report_result(report, none);
  }

  // The first three whole copies; a dump shorter than one is one copy,
  // zero-filled.
  const std::size_t size = layout->copy_size;
  const std::size_t count = std::clamp<std::size_t>(dump.size() / size, 1, kCopiesRead);
  ParamPage copies[kCopiesRead] = {};
  PageCheck checks[kCopiesRead];
  bool passes[kCopiesRead] = {};
  report_array_begin(report, "copies");
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t from = k * size;
    std::memcpy(copies[k].bytes, dump.data() + from, std::min(size, dump.size() - from));
    checks[k] = check_copy(copies[k], *layout);
    passes[k] = checks[k].stored == checks[k].computed;
    const auto copy = static_cast<std::uint32_t>(k + 1);
    report_object_begin(report, "");
    if (passes[k]) {
      report_field(report, 0, {"", "stored"}, "Copy %u    : 0x%04X - Ok\n", copy, checks[k].stored);
      report_json_number(report, "computed", checks[k].computed);
    } else {
      report_field(report, 0, {"", "stored", "computed"}, "Copy %u    : 0x%04X - Wrong (computed 0x%04X)\n",
                   copy, checks[k].stored, checks[k].computed);
    }
    report_json_bool(report, "ok", passes[k]);
    report_object_end(report);
  }
  report_array_end(report);

  ParamPage voted{};
  PageCheck voted_check;
  const Choice decoded = choose(passes, count, [&] {
    for (std::size_t i = 0; i < size; ++i) {
      voted.bytes[i] = bit_majority(copies[0].bytes[i], copies[1].bytes[i], copies[2].bytes[i]);
    }
    voted_check = check_copy(voted, *layout);
    return voted_check.stored == voted_check.computed;
  });
  report_choice(report, "decoded", decoded, count, kPageChoiceTexts);
  const ParamPage& page = decoded.majority ? voted : copies[decoded.copy - 1];
  const PageCheck& check = decoded.majority ? voted_check : checks[decoded.copy - 1];

  // Decoded by its layout whatever its signature bytes hold.
  report_page(page, check, report);
  const bool extended_ok = report_extended_page(dump, page, layout->layout, report);
  report_sizes(page, report);
  report_object_end(report);

  DecodeResult result = report_result(report, check);
  result.verified = result.crc_ok && extended_ok;
  return result;
}

}  // namespace tolvik

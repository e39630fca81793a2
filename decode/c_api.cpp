// The C interface: the page model copied into the plain records of
// tolvik_c.h. The C enums carry the C++ ones' numbers, which is checked
// here, so a record's kind or unit converts by value.
#include <algorithm>
#include <cstring>
#include <utility>

#include "decode/fields.h"
#include "tolvik.h"
#include "tolvik_c.h"

namespace tolvik {
namespace {

// Both enums of each pair have the number of its row: they agree, and no
// value between is left out.
template <class Cpp, class C, std::size_t N>
constexpr bool same_numbers(const std::pair<Cpp, C> (&pairs)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    if (static_cast<std::size_t>(pairs[i].first) != i || static_cast<std::size_t>(pairs[i].second) != i)
      return false;
  }
  return true;
}

constexpr std::pair<Layout, tolvik_layout> kLayouts[] = {{Layout::None, TOLVIK_LAYOUT_NONE},
                                                         {Layout::Onfi, TOLVIK_LAYOUT_ONFI},
                                                         {Layout::Jedec, TOLVIK_LAYOUT_JEDEC}};
constexpr std::pair<FieldKind, tolvik_field_kind> kKinds[] = {
    {FieldKind::Signature, TOLVIK_KIND_SIGNATURE},
    {FieldKind::Text, TOLVIK_KIND_TEXT},
    {FieldKind::Number, TOLVIK_KIND_NUMBER},
    {FieldKind::Flags, TOLVIK_KIND_FLAGS},
    {FieldKind::Revision, TOLVIK_KIND_REVISION},
    {FieldKind::Modes, TOLVIK_KIND_MODES},
    {FieldKind::AddressCycles, TOLVIK_KIND_ADDRESS_CYCLES},
    {FieldKind::WarmupCycles, TOLVIK_KIND_WARMUP_CYCLES},
    {FieldKind::PlaneBits, TOLVIK_KIND_PLANE_BITS},
    {FieldKind::CellBits, TOLVIK_KIND_CELL_BITS},
    {FieldKind::Date, TOLVIK_KIND_DATE},
    {FieldKind::Endurance, TOLVIK_KIND_ENDURANCE},
    {FieldKind::EccBits, TOLVIK_KIND_ECC_BITS},
    {FieldKind::CodewordSize, TOLVIK_KIND_CODEWORD_SIZE},
    {FieldKind::MakerId, TOLVIK_KIND_MAKER_ID},
    {FieldKind::Crc, TOLVIK_KIND_CRC},
    {FieldKind::Reserved, TOLVIK_KIND_RESERVED},
    {FieldKind::Vendor, TOLVIK_KIND_VENDOR},
};
constexpr std::pair<Unit, tolvik_unit> kUnits[] = {
    {Unit::None, TOLVIK_UNIT_NONE},
    {Unit::Bytes, TOLVIK_UNIT_BYTES},
    {Unit::Microseconds, TOLVIK_UNIT_MICROSECONDS},
    {Unit::Nanoseconds, TOLVIK_UNIT_NANOSECONDS},
    {Unit::Picofarads, TOLVIK_UNIT_PICOFARADS},
    {Unit::TenthPicofarads, TOLVIK_UNIT_TENTH_PICOFARADS},
    {Unit::Tenths, TOLVIK_UNIT_TENTHS},
    {Unit::Address, TOLVIK_UNIT_ADDRESS},
};
constexpr std::pair<Severity, tolvik_severity> kSeverities[] = {{Severity::Failure, TOLVIK_SEVERITY_FAILURE},
                                                                {Severity::Warning, TOLVIK_SEVERITY_WARNING}};
static_assert(same_numbers(kLayouts) && same_numbers(kKinds) && same_numbers(kUnits) &&
              same_numbers(kSeverities));
static_assert(TOLVIK_FIELDS_MAX == kFieldListMax && TOLVIK_FINDINGS_MAX == kFindingsMax);
static_assert(sizeof(tolvik_finding::message) == sizeof(Finding::message));
static_assert(sizeof(tolvik_page_info::manufacturer) == sizeof(OnfiPage::manufacturer) &&
              sizeof(tolvik_page_info::model) == sizeof(OnfiPage::model) &&
              sizeof(OnfiPage::manufacturer) == sizeof(JedecPage::manufacturer) &&
              sizeof(OnfiPage::model) == sizeof(JedecPage::model));

std::span<const std::uint8_t> input(const std::uint8_t* bytes, std::size_t size) {
  if (bytes == nullptr) return {};
  return {bytes, size};
}

// Where each member of tolvik_page_info comes from, by layout.
struct InfoFields {
  std::uint8_t jedec_id, data, spare, pages, blocks, luns, cells, ecc, endurance, prog, bers, read, ccs;
};
constexpr InfoFields kOnfiInfo{onfi::JedecId,
                               onfi::DataBytesPerPage,
                               onfi::SpareBytesPerPage,
                               onfi::PagesPerBlock,
                               onfi::BlocksPerLun,
                               onfi::Luns,
                               onfi::BitsPerCell,
                               onfi::EccBits,
                               onfi::BlockEndurance,
                               onfi::TProg,
                               onfi::TBers,
                               onfi::TR,
                               onfi::TCcs};
constexpr InfoFields kJedecInfo{jedec::JedecId,
                                jedec::DataBytesPerPage,
                                jedec::SpareBytesPerPage,
                                jedec::PagesPerBlock,
                                jedec::BlocksPerLun,
                                jedec::Luns,
                                jedec::BitsPerCell,
                                jedec::ecc_field(0, jedec::EccBits),
                                jedec::ecc_field(0, jedec::EccEndurance),
                                jedec::TProg,
                                jedec::TBers,
                                jedec::TR,
                                jedec::TCcs};

template <class Page>
void fill_info(const Page& page, Layout layout, const InfoFields& from, tolvik_page_info& info) {
  const Field* f = page.fields;
  const auto u8 = [f](std::uint8_t id) { return static_cast<std::uint8_t>(f[id].raw); };
  const auto u32 = [f](std::uint8_t id) { return static_cast<std::uint32_t>(f[id].value); };
  info.layout = static_cast<int>(layout);
  info.revision = page.revision;
  info.crc_stored = page.crc.stored;
  info.crc_computed = page.crc.computed;
  info.crc_ok = page.crc.ok;
  // Up to the NUL: the rest of the caller's arrays stays zero.
  std::memcpy(info.manufacturer, page.manufacturer, std::strlen(page.manufacturer));
  std::memcpy(info.model, page.model, std::strlen(page.model));
  info.jedec_id = u8(from.jedec_id);
  info.data_bytes_per_page = u32(from.data);
  info.spare_bytes_per_page = u32(from.spare);
  info.pages_per_block = u32(from.pages);
  info.blocks_per_lun = u32(from.blocks);
  info.luns = u8(from.luns);
  info.bits_per_cell = u8(from.cells);
  info.ecc_bits = u8(from.ecc);
  info.t_prog_us = u32(from.prog);
  info.t_bers_us = u32(from.bers);
  info.t_r_us = u32(from.read);
  info.t_ccs_ns = u32(from.ccs);
  const std::uint64_t factors[] = {f[from.data].value, f[from.pages].value, f[from.blocks].value,
                                   f[from.luns].value};
  detail::exact_product(factors, info.data_bytes_per_device);
  // Not exact reads 0 already.
  info.endurance_cycles = f[from.endurance].value;
}

tolvik_field c_field(const FieldRef& ref) {
  const FieldInfo& info = *ref.info;
  // The tables' texts are each followed by a NUL.
  return {info.name().data(),
          info.key().data(),
          ref.field->value,
          ref.field->raw,
          static_cast<std::uint16_t>(ref.base + info.first),
          static_cast<std::uint16_t>(ref.base + info.last),
          static_cast<std::uint8_t>(info.kind),
          static_cast<std::uint8_t>(info.unit),
          ref.field->defined,
          ref.field->exact};
}

tolvik_finding c_finding(const Finding& finding) {
  tolvik_finding out{};
  out.severity = static_cast<std::uint8_t>(finding.severity);
  out.has_range = finding.has_range;
  out.first = finding.first;
  out.last = finding.last;
  const std::size_t rule = std::min(finding.rule.size(), sizeof out.rule - 1);
  if (rule != 0) std::memcpy(out.rule, finding.rule.data(), rule);
  std::memcpy(out.message, finding.message, sizeof out.message - 1);
  return out;
}

}  // namespace
}  // namespace tolvik

extern "C" {

int tolvik_parse_page(const std::uint8_t* bytes, std::size_t size, tolvik_page_info* info) {
  using namespace tolvik;
  PageModel model;
  const Layout layout = parse_page(input(bytes, size), model);
  if (info == nullptr) return static_cast<int>(layout);
  // Padding too: the caller gets no byte of this stack.
  std::memset(info, 0, sizeof *info);
  if (layout == Layout::Onfi) fill_info(model.onfi, layout, kOnfiInfo, *info);
  if (layout == Layout::Jedec) fill_info(model.jedec, layout, kJedecInfo, *info);
  return static_cast<int>(layout);
}

std::size_t tolvik_list_fields(const std::uint8_t* bytes, std::size_t size, tolvik_field* fields,
                               std::size_t capacity) {
  using namespace tolvik;
  PageModel model;
  parse_page(input(bytes, size), model);
  const FieldList list = list_fields(model);
  if (fields != nullptr) {
    for (std::size_t i = 0; i < list.count && i < capacity; ++i) fields[i] = c_field(list.items[i]);
  }
  return list.count;
}

tolvik_check_counts tolvik_check_page(const std::uint8_t* bytes, std::size_t size, tolvik_finding* findings,
                                      std::size_t capacity) {
  using namespace tolvik;
  PageModel model;
  Findings found{};
  if (parse_page(input(bytes, size), model) == Layout::None) {
    check_no_page(input(bytes, size), found);
  } else {
    check_page(model, found);
  }
  if (findings != nullptr) {
    for (std::size_t i = 0; i < found.count && i < capacity; ++i) findings[i] = c_finding(found.items[i]);
  }
  return {static_cast<std::uint32_t>(found.count), found.failures, found.warnings};
}

const char* tolvik_version(void) { return tolvik::kVersion; }

}  // extern "C"

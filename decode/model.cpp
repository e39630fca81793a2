// The parts of the page model both layouts share: the generic parse of a
// field table, exact endurance figures, text fields, timing families, the
// CRC and the makers by JEDEC manufacturer ID.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <iterator>

#include "decode/fields.h"
#include "tolvik.h"

namespace tolvik {
namespace detail {

namespace {

// 10^0 to 10^19, the powers of ten below 2^64.
constexpr auto kPowersOfTen = [] {
  std::array<std::uint64_t, 20> powers{};
  std::uint64_t power = 1;
  for (std::uint64_t& p : powers) {
    p = power;
    power *= 10;
  }
  return powers;
}();

// Reserved ranges are compared with this many zeros at a time.
constexpr std::uint8_t kZeros[64] = {};

bool all_zero(const std::uint8_t* bytes, std::size_t count) {
  for (; count > sizeof kZeros; count -= sizeof kZeros, bytes += sizeof kZeros) {
    if (std::memcmp(bytes, kZeros, sizeof kZeros) != 0) return false;
  }
  return std::memcmp(bytes, kZeros, count) == 0;
}

}  // namespace

bool endurance_cycles(std::uint32_t mantissa, std::uint32_t exponent, std::uint64_t& cycles) {
  cycles = 0;
  if (mantissa == 0) return true;
  if (exponent >= kPowersOfTen.size() || mantissa > UINT64_MAX / kPowersOfTen[exponent]) return false;
  cycles = mantissa * kPowersOfTen[exponent];
  return true;
}

void parse_fields(std::span<const FieldInfo> table, std::span<const std::uint8_t> page,
                  std::uint16_t revision, Field* fields) {
  // The bytes a field's stored number keeps of the four loaded, by width.
  constexpr std::uint32_t kKeep[5] = {0, 0xFFU, 0xFFFFU, 0xFFFFFFU, 0xFFFFFFFFU};
  for (std::size_t i = 0; i < table.size(); ++i) {
    const FieldInfo& info = table[i];
    Field& field = fields[i];
    const std::size_t width = info.size() < 4 ? info.size() : 4;
    if (std::size_t{info.first} + 4 <= page.size()) {
      // The usual case: four bytes load at once, and the mask keeps the
      // field's own.
      std::uint8_t le[4];
      std::memcpy(le, page.data() + info.first, sizeof le);
      const std::uint32_t all =
          static_cast<std::uint32_t>(le[0] | le[1] << 8 | le[2] << 16) | std::uint32_t{le[3]} << 24;
      field.raw = all & kKeep[width];
    } else {
      field.raw = read_le(page, info.first, width);
    }
    field.value = field.raw;
    field.defined = revision_holds(revision, info.revisions_any, info.revisions_none);
    field.exact = true;
    switch (info.kind) {
      case FieldKind::Number:
        field.value = std::uint64_t{field.raw} * info.scale;
        break;
      case FieldKind::Endurance:
        field.exact = endurance_cycles(field.raw & 0xFFU, field.raw >> 8 & 0xFFU, field.value);
        break;
      case FieldKind::PlaneBits:
        field.value = field.raw & 0x0FU;
        break;
      case FieldKind::MakerId:
        field.value = field.raw & 0xFFU;
        break;
      case FieldKind::Reserved:
      case FieldKind::Text: {
        // Where the first byte that breaks the field's rule stands: a
        // reserved byte that is not 0, a text byte outside printable ASCII.
        // No field starts at byte 0, so 0 says there is none.
        field.value = 0;
        const std::size_t first = std::min<std::size_t>(info.first, page.size());
        const std::size_t end = std::min<std::size_t>(std::size_t{info.last} + 1, page.size());
        // Most reserved ranges hold only zeros: one comparison says so.
        if (info.kind == FieldKind::Reserved && all_zero(page.data() + first, end - first)) break;
        for (std::size_t at = first; at < end && field.value == 0; ++at) {
          const std::uint8_t b = page[at];
          const bool broken = info.kind == FieldKind::Reserved ? b != 0 : b < 0x20 || b > 0x7E;
          if (broken) field.value = at;
        }
        break;
      } break;
      default:
        break;
    }
  }
}

void trimmed_text(std::span<const std::uint8_t> page, const FieldInfo& field, char* out) {
  const std::size_t first = std::min<std::size_t>(field.first, page.size());
  std::size_t n = std::min(field.size(), page.size() - first);
  if (n != 0) std::memcpy(out, page.data() + first, n);
  if (const void* end = std::memchr(out, '\0', n); end != nullptr) {
    n = static_cast<std::size_t>(static_cast<const char*>(end) - out);
  }
  while (n > 0 && out[n - 1] == ' ') --n;
  out[n] = '\0';
}

TimingFamily timing_family(const TimingFamilyInfo& info, std::uint32_t mask) {
  TimingFamily family{&info, mask, -1, 0};
  // The bits the table names; higher ones are never looked at.
  const std::size_t rows = info.speeds.size();
  const std::uint32_t named = rows >= 32 ? mask : mask & ((1U << rows) - 1U);
  if (named == 0) return family;
  const auto bit = static_cast<std::size_t>(std::bit_width(named) - 1);
  family.fastest_mode = static_cast<std::int8_t>(bit);
  std::uint32_t rate = 0;
  for (const char* c = info.speeds[bit]; *c >= '0' && *c <= '9'; ++c)
    rate = rate * 10 + static_cast<std::uint32_t>(*c - '0');
  family.fastest_rate = static_cast<std::uint16_t>(rate);
  return family;
}

PageCrc page_crc(std::span<const std::uint8_t> page, std::size_t covered) {
  PageCrc crc{};
  crc.stored = static_cast<std::uint16_t>(read_le(page, covered, 2));
  crc.computed = crc16_param_page(page.data(), covered, kParamPageCrcSeed);
  crc.ok = crc.stored == crc.computed;
  return crc;
}

namespace {

// NAND makers by the one byte their parts report (Read ID byte 0, ONFI byte
// 64), with the maker texts their pages carry or that name them. Several
// bytes are not the maker's JEP106 code, and some are shared.
constexpr Maker kMakers[] = {
    {0x01, "AMD/Spansion", "AMD|SPANSION|CYPRESS|SKYHIGH"},
    {0x04, "Fujitsu", "FUJITSU"},
    {0x07, "Renesas", "RENESAS|HITACHI"},
    {0x0B, "XTX", "XTX"},
    {0x19, "TYM", "TYM"},
    {0x20, "ST Micro", "ST"},
    {0x2C, "Micron", "MICRON"},
    {0x45, "SanDisk", "SANDISK"},
    {0x6B, "Phison", "PHISON|FISON"},
    {0x89, "Intel", "INTEL"},
    {0x8F, "National", "NATIONAL"},
    {0x92, "Eon", "EON"},
    {0x98, "Toshiba/Kioxia", "TOSHIBA|KIOXIA"},
    {0x9B, "ATO", "ATO"},
    {0xA1, "Shanghai Fudan Microelectronics", "FUDAN|FMSH"},
    {0xAD, "SK Hynix", "HYNIX|SK HYNIX|ATO"},
    {0xBC, "Biwin", "BIWIN"},
    {0xC2, "Macronix", "MACRONIX"},
    {0xC8, "ESMT, GigaDevice, Powerchip, Zentel or Mira", "ESMT|GIGADEVICE|POWERCHIP|ZENTEL|MIRA"},
    {0xC9, "Heyang", "HEYANG"},
    {0xCD, "Longsys/FORESEE", "LONGSYS|FORESEE"},
    {0xD5, "Etron", "ETRON"},
    {0xE5, "Dosilicon", "DOSILICON"},
    {0xEC, "Samsung", "SAMSUNG"},
    {0xEF, "Winbond", "WINBOND"},
};

constexpr bool makers_ascending() {
  for (std::size_t i = 1; i < std::size(kMakers); ++i) {
    if (kMakers[i].id <= kMakers[i - 1].id) return false;
  }
  return true;
}
static_assert(makers_ascending());

constexpr char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

const TableTexts& table_texts(std::uint8_t table) {
  switch (static_cast<FieldTable>(table)) {
    case FieldTable::Onfi:
      return onfi_texts();
    case FieldTable::Jedec:
      return jedec_texts();
    case FieldTable::Micron:
      return micron_texts();
    case FieldTable::Macronix:
      return macronix_texts();
    case FieldTable::EppHeader:
      return epp_header_texts();
    case FieldTable::EppEcc:
      break;
  }
  return epp_ecc_texts();
}

}  // namespace
}  // namespace detail

bool Maker::agrees(std::string_view text) const noexcept {
  const std::string_view all(texts);
  for (std::size_t from = 0; from <= all.size();) {
    std::size_t to = all.find('|', from);
    if (to == std::string_view::npos) to = all.size();
    const std::size_t size = to - from;
    bool same = text.size() >= size;
    for (std::size_t i = 0; i < size && same; ++i) same = detail::upper(text[i]) == all[from + i];
    if (same && size != 0) return true;
    from = to + 1;
  }
  return false;
}

std::string_view FieldInfo::name() const noexcept {
  return {detail::table_texts(table).text + name_at, name_size};
}

std::string_view FieldInfo::key() const noexcept {
  return {detail::table_texts(table).text + key_at, key_size};
}

std::span<const FlagText> FieldInfo::bits() const noexcept {
  if (bits_list == 0) return {};
  return detail::table_texts(table).bit_lists[bits_list - 1U];
}

const Maker* find_maker(std::uint8_t id) noexcept {
  // The table is in ascending order of ID.
  const Maker* const end = std::end(detail::kMakers);
  const Maker* found =
      std::lower_bound(std::begin(detail::kMakers), end, id,
                       [](const Maker& maker, std::uint8_t wanted) { return maker.id < wanted; });
  return found != end && found->id == id ? found : nullptr;
}

Layout page_layout(std::span<const std::uint8_t> bytes) noexcept {
  if (bytes.size() < 4) return Layout::None;
  if (std::memcmp(bytes.data(), "JESD", 4) == 0) return Layout::Jedec;
  if (std::memcmp(bytes.data(), "ONFI", 4) == 0) return Layout::Onfi;
  return Layout::None;
}

Layout parse_page(std::span<const std::uint8_t> bytes, PageModel& model) noexcept {
  model.layout = page_layout(bytes);
  if (model.layout == Layout::Onfi) parse_onfi_page(bytes, model.onfi);
  if (model.layout == Layout::Jedec) parse_jedec_page(bytes, model.jedec);
  return model.layout;
}

FieldList list_fields(const PageModel& page) noexcept {
  switch (page.layout) {
    case Layout::Onfi:
      return list_fields(page.onfi);
    case Layout::Jedec:
      return list_fields(page.jedec);
    case Layout::None:
      break;
  }
  return FieldList{Layout::None, 0, {}, {}, 0};
}

}  // namespace tolvik

// The parts of the page model both layouts share: the generic parse of a
// field table, exact endurance figures, text fields, timing families, the
// CRC and the makers by JEDEC manufacturer ID.
#include <cstring>
#include <iterator>

#include "decode/fields.h"
#include "tolvik.h"

namespace tolvik {
namespace detail {

bool endurance_cycles(std::uint32_t mantissa, std::uint32_t exponent, std::uint64_t& cycles) {
  cycles = mantissa;
  for (std::uint32_t i = 0; i < exponent && cycles != 0; ++i) {
    if (cycles > UINT64_MAX / 10) {
      cycles = 0;
      return false;
    }
    cycles *= 10;
  }
  return true;
}

void parse_fields(std::span<const FieldInfo> table, std::span<const std::uint8_t> page,
                  std::uint16_t revision, Field* fields) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    const FieldInfo& info = table[i];
    Field& field = fields[i];
    const std::size_t width = info.size() < 4 ? info.size() : 4;
    field.raw = read_le(page, info.first, width);
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
      case FieldKind::Text:
        // Where the first byte that breaks the field's rule stands: a
        // reserved byte that is not 0, a text byte outside printable ASCII.
        // No field starts at byte 0, so 0 says there is none.
        field.value = 0;
        for (std::size_t at = info.first; at <= info.last && field.value == 0; ++at) {
          const std::uint8_t b = at < page.size() ? page[at] : 0U;
          const bool broken = info.kind == FieldKind::Reserved ? b != 0 : b < 0x20 || b > 0x7E;
          if (broken) field.value = at;
        }
        break;
      default:
        break;
    }
  }
}

void trimmed_text(std::span<const std::uint8_t> page, const FieldInfo& field, char* out) {
  std::size_t n = 0;
  for (std::size_t at = field.first; at <= field.last && at < page.size() && page[at] != 0; ++at) {
    out[n++] = static_cast<char>(page[at]);
  }
  while (n > 0 && out[n - 1] == ' ') --n;
  out[n] = '\0';
}

TimingFamily timing_family(const TimingFamilyInfo& info, std::uint32_t mask) {
  TimingFamily family{&info, mask, -1, 0};
  for (std::size_t bit = info.speeds.size(); bit-- > 0;) {
    if ((mask >> bit & 1U) == 0) continue;
    family.fastest_mode = static_cast<std::int8_t>(bit);
    std::uint32_t rate = 0;
    for (const char* c = info.speeds[bit]; *c >= '0' && *c <= '9'; ++c)
      rate = rate * 10 + static_cast<std::uint32_t>(*c - '0');
    family.fastest_rate = static_cast<std::uint16_t>(rate);
    break;
  }
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

constexpr char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool maker_text_agrees(const Maker& maker, std::string_view text) {
  for (const std::string_view prefix : maker.texts) {
    if (text.size() < prefix.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < prefix.size() && same; ++i) same = upper(text[i]) == prefix[i];
    if (same) return true;
  }
  return false;
}

namespace {

// NAND makers by the one byte their parts report (Read ID byte 0, ONFI byte
// 64), with the maker texts their pages carry or that name them. Several
// bytes are not the maker's JEP106 code, and some are shared.
constexpr std::string_view kAmdTexts[] = {"AMD", "SPANSION", "CYPRESS", "SKYHIGH"};
constexpr std::string_view kFujitsuTexts[] = {"FUJITSU"};
constexpr std::string_view kRenesasTexts[] = {"RENESAS", "HITACHI"};
constexpr std::string_view kStTexts[] = {"ST"};
constexpr std::string_view kMicronTexts[] = {"MICRON"};
constexpr std::string_view kSandiskTexts[] = {"SANDISK"};
constexpr std::string_view kIntelTexts[] = {"INTEL"};
constexpr std::string_view kNationalTexts[] = {"NATIONAL"};
constexpr std::string_view kEonTexts[] = {"EON"};
constexpr std::string_view kToshibaTexts[] = {"TOSHIBA", "KIOXIA"};
constexpr std::string_view kAtoTexts[] = {"ATO"};
constexpr std::string_view kHynixTexts[] = {"HYNIX", "SK HYNIX", "ATO"};
constexpr std::string_view kMacronixTexts[] = {"MACRONIX"};
constexpr std::string_view kC8Texts[] = {"ESMT", "GIGADEVICE", "POWERCHIP", "ZENTEL", "MIRA"};
constexpr std::string_view kSamsungTexts[] = {"SAMSUNG"};
constexpr std::string_view kWinbondTexts[] = {"WINBOND"};
constexpr std::string_view kXtxTexts[] = {"XTX"};
constexpr std::string_view kLongsysTexts[] = {"LONGSYS", "FORESEE"};
constexpr std::string_view kDosiliconTexts[] = {"DOSILICON"};
constexpr std::string_view kEtronTexts[] = {"ETRON"};
constexpr std::string_view kBiwinTexts[] = {"BIWIN"};
constexpr std::string_view kFudanTexts[] = {"FUDAN", "FMSH"};
constexpr std::string_view kPhisonTexts[] = {"PHISON", "FISON"};
constexpr std::string_view kHeyangTexts[] = {"HEYANG"};
constexpr std::string_view kTymTexts[] = {"TYM"};

// By ascending ID.
constexpr Maker kMakers[] = {
    {0x01, "AMD/Spansion", kAmdTexts},
    {0x04, "Fujitsu", kFujitsuTexts},
    {0x07, "Renesas", kRenesasTexts},
    {0x0B, "XTX", kXtxTexts},
    {0x19, "TYM", kTymTexts},
    {0x20, "ST Micro", kStTexts},
    {0x2C, "Micron", kMicronTexts},
    {0x45, "SanDisk", kSandiskTexts},
    {0x6B, "Phison", kPhisonTexts},
    {0x89, "Intel", kIntelTexts},
    {0x8F, "National", kNationalTexts},
    {0x92, "Eon", kEonTexts},
    {0x98, "Toshiba/Kioxia", kToshibaTexts},
    {0x9B, "ATO", kAtoTexts},
    {0xA1, "Shanghai Fudan Microelectronics", kFudanTexts},
    {0xAD, "SK Hynix", kHynixTexts},
    {0xBC, "Biwin", kBiwinTexts},
    {0xC2, "Macronix", kMacronixTexts},
    {0xC8, "ESMT, GigaDevice, Powerchip, Zentel or Mira", kC8Texts},
    {0xC9, "Heyang", kHeyangTexts},
    {0xCD, "Longsys/FORESEE", kLongsysTexts},
    {0xD5, "Etron", kEtronTexts},
    {0xE5, "Dosilicon", kDosiliconTexts},
    {0xEC, "Samsung", kSamsungTexts},
    {0xEF, "Winbond", kWinbondTexts},
};

constexpr bool makers_ascending() {
  for (std::size_t i = 1; i < std::size(kMakers); ++i) {
    if (kMakers[i].id <= kMakers[i - 1].id) return false;
  }
  return true;
}
static_assert(makers_ascending());

}  // namespace
}  // namespace detail

const Maker* find_maker(std::uint8_t id) noexcept {
  for (const Maker& maker : detail::kMakers) {
    if (maker.id == id) return &maker;
  }
  return nullptr;
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

}  // namespace tolvik

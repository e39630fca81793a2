// Two pages of one layout compared field by field over the model.
#include <algorithm>

#include "tolvik.h"

namespace tolvik {
namespace {

FieldList fields_of(const PageModel& page) {
  return page.layout == Layout::Onfi ? list_fields(page.onfi) : list_fields(page.jedec);
}

bool same_bytes(const FieldList& a, const FieldList& b, std::size_t first, std::size_t last) {
  // Both lists cover their page, so both hold bytes [first, last].
  return std::equal(a.bytes.begin() + static_cast<std::ptrdiff_t>(first),
                    a.bytes.begin() + static_cast<std::ptrdiff_t>(last) + 1,
                    b.bytes.begin() + static_cast<std::ptrdiff_t>(first));
}

}  // namespace

Comparison compare_pages(const PageModel& a, const PageModel& b, std::span<Difference> out) noexcept {
  Comparison result{false, 0};
  if (a.layout == Layout::None || a.layout != b.layout) return result;
  result.comparable = true;
  const FieldList list_a = fields_of(a);
  const FieldList list_b = fields_of(b);
  const std::span<const FieldRef> fa = list_a.fields();
  const std::span<const FieldRef> fb = list_b.fields();
  const auto add = [&](const Difference& difference) {
    if (result.count < out.size()) out[result.count] = difference;
    ++result.count;
  };
  Difference crc{};
  bool crc_differs = false;
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < fa.size() && j < fb.size()) {
    const std::uint16_t first = fa[i].info->first;
    if (fa[i].info == fb[j].info) {
      const Difference difference{first, fa[i].info->last, fa[i], fb[j]};
      // A field of four bytes or fewer is its stored number.
      const bool same = fa[i].info->size() <= 4 ? fa[i].field->raw == fb[j].field->raw
                                                : same_bytes(list_a, list_b, first, difference.last);
      if (!same) {
        if (fa[i].info->kind == FieldKind::Crc) {
          crc = difference;
          crc_differs = true;
        } else {
          add(difference);
        }
      }
      ++i;
      ++j;
      continue;
    }
    // The lists part (vendor blocks of different layouts): on to where both
    // end on the same byte. Both cover the page, so they meet at its end.
    std::uint16_t last_a = fa[i].info->last;
    std::uint16_t last_b = fb[j].info->last;
    while (last_a != last_b) {
      if (last_a < last_b && i + 1 < fa.size()) {
        last_a = fa[++i].info->last;
      } else if (last_b < last_a && j + 1 < fb.size()) {
        last_b = fb[++j].info->last;
      } else {
        break;
      }
    }
    const std::uint16_t last = std::min(last_a, last_b);
    if (!same_bytes(list_a, list_b, first, last)) add({first, last, {}, {}});
    ++i;
    ++j;
  }
  if (result.count == 0 && crc_differs) add(crc);
  return result;
}

}  // namespace tolvik

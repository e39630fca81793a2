// The check's invariants, shared by the fuzz targets: whatever the input,
// no finding is dropped, they come in the order promised, every message is
// terminated printable ASCII, the text block fits kCheckTextCapacity, and
// the JSON document with the check fits kJsonCapacity and carries the same
// findings. A violation aborts, so libFuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string_view>

#include "tolvik.h"

namespace check_fuzz {

[[noreturn]] inline void violated(const char* what) {
  std::fprintf(stderr, "check invariant violated: %s\n", what);
  std::abort();
}

inline void findings_hold(const tolvik::Findings& findings) {
  if (findings.count != findings.failures + findings.warnings) violated("a finding was dropped");
  for (std::size_t i = 0; i < findings.count; ++i) {
    const tolvik::Finding& f = findings.items[i];
    const std::size_t n = strnlen(f.message, sizeof f.message);
    if (n == 0 || n == sizeof f.message) violated("message empty or not terminated");
    for (std::size_t k = 0; k < n; ++k) {
      if (f.message[k] < 0x20 || f.message[k] > 0x7E) violated("message not printable ASCII");
    }
    if (f.has_range && (f.first > f.last || f.last > 511)) violated("range outside the page");
    if (i == 0) continue;
    const tolvik::Finding& e = findings.items[i - 1];
    const bool ordered = e.severity != f.severity     ? e.severity == tolvik::Severity::Failure
                         : e.has_range != f.has_range ? e.has_range
                                                      : !f.has_range || e.first <= f.first;
    if (!ordered) violated("findings out of order");
  }
  static char text[tolvik::kCheckTextCapacity];
  if (!tolvik::render_findings(findings, text).complete()) violated("text block beyond kCheckTextCapacity");
}

// r and document: a JSON rendering with options.check and these findings.
inline void json_holds(const tolvik::DecodeResult& r, const char* document,
                       const tolvik::Findings& findings) {
  if (!r.complete() || r.length >= tolvik::kJsonCapacity)
    violated("JSON with the check beyond kJsonCapacity");
  const nlohmann::json d = nlohmann::json::parse(std::string_view(document, r.length), nullptr, false);
  if (d.is_discarded() || !d.contains("findings") || !d["findings"].is_array() ||
      d["findings"].size() != findings.count || d["check"]["failures"] != findings.failures) {
    violated("JSON findings differ from the check's");
  }
}

}  // namespace check_fuzz

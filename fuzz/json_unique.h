// A strict JSON reader for the fuzz targets: the document parsed, or
// discarded when it does not parse or an object holds a key twice (the
// parser alone would keep the last value silently).
#pragma once

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz_json {

inline nlohmann::json parse_unique(std::string_view document) {
  std::vector<std::vector<std::string>> open;
  bool unique = true;
  nlohmann::json parsed = nlohmann::json::parse(
      document,
      [&](int, nlohmann::json::parse_event_t event, nlohmann::json& value) {
        if (event == nlohmann::json::parse_event_t::object_start) open.emplace_back();
        if (event == nlohmann::json::parse_event_t::object_end) open.pop_back();
        if (event == nlohmann::json::parse_event_t::key) {
          std::vector<std::string>& keys = open.back();
          const std::string& key = value.get_ref<const std::string&>();
          unique = unique && std::find(keys.begin(), keys.end(), key) == keys.end();
          keys.push_back(key);
        }
        return true;
      },
      false);
  return unique ? parsed : nlohmann::json(nlohmann::json::value_t::discarded);
}

}  // namespace fuzz_json

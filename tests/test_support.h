// Helpers shared by the tests: building pages field by field, decoding them,
// running the built tool and reading files.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "tolvik.h"

namespace tolvik::detail {}

namespace tolvik::test {
using namespace tolvik::detail;

// One little-endian field of a page: offset, width in bytes (1 to 4), value.
struct StoredField {
  std::size_t offset;
  std::size_t width;
  std::uint32_t value;
};

// A page image made for one test: signature first, then the fields the test
// is about, then (optionally) a stored CRC that matches.
class PageBuilder {
 public:
  static PageBuilder onfi();
  static PageBuilder jedec();
  static PageBuilder from_file(const std::string& path);

  PageBuilder& u8(std::size_t offset, std::uint32_t value);
  PageBuilder& fields(std::initializer_list<StoredField> list);
  PageBuilder& le16(std::size_t offset, std::uint32_t value) { return fields({{offset, 2, value}}); }
  PageBuilder& le32(std::size_t offset, std::uint32_t value) { return fields({{offset, 4, value}}); }
  // Copies the characters of text, without a NUL.
  PageBuilder& text(std::size_t offset, const std::string& text);
  PageBuilder& fill(std::size_t from, std::size_t to, std::uint8_t value);
  // Stores the CRC of the layout named by the signature: bytes 0..253 into
  // 254..255 for ONFI, bytes 0..509 into 510..511 for JEDEC.
  PageBuilder& fix_crc();

  const ParamPage& page() const { return page_; }
  operator const ParamPage&() const { return page_; }

 private:
  ParamPage page_{};
};

// The report of a page at a level; fails the test when the returned length
// differs from the text in the buffer.
std::string decode(const ParamPage& page, int level);

// A page at a level and text its report must hold: consecutive lines, a
// leading "\n" pinning the first to a line start. A leading '!' makes it text
// the report must not hold.
struct ReportCase {
  const char* what;
  PageBuilder page;
  int level;
  std::string text;
};
void expect_reports(std::initializer_list<ReportCase> cases);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);

struct RunResult {
  std::string out;
  int status = -1;
};

// Runs the built tolvik with these arguments (the program name is added),
// capturing standard output; standard error must stay empty.
RunResult run_tolvik(const std::vector<std::string>& args);

// A fresh empty directory for one test, removed by the caller's scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The version text as the build states it, and the lines every run that
// reads a file begins with.
inline const std::string kVersionText = TOLVIK_EXPECTED_VERSION;
inline const std::string kBannerLine = "JEDEC/ONFI NAND parameter page decoder " + kVersionText + "\n";
inline const std::string kRunHead = kBannerLine + "TVK: " + kVersionText + "\n";

inline const std::string kSamples = TOLVIK_SAMPLES;
inline const std::string kGolden = TOLVIK_GOLDEN;
inline const std::string kFuzzCorpus = TOLVIK_FUZZ_CORPUS;

}  // namespace tolvik::test

#include "test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace tolvik::test {

PageBuilder PageBuilder::onfi() { return PageBuilder().text(0, "ONFI"); }

PageBuilder PageBuilder::jedec() { return PageBuilder().text(0, "JESD"); }

PageBuilder PageBuilder::from_file(const std::string& path) {
  PageBuilder b;
  const std::string bytes = read_file(path);
  std::memcpy(b.page_.bytes, bytes.data(), std::min(bytes.size(), kPageSize));
  return b;
}

PageBuilder& PageBuilder::u8(std::size_t offset, std::uint32_t value) {
  if (offset >= kPageSize) throw std::out_of_range("page offset");
  page_.bytes[offset] = static_cast<std::uint8_t>(value);
  return *this;
}

PageBuilder& PageBuilder::fields(std::initializer_list<StoredField> list) {
  for (const StoredField& f : list) {
    for (std::size_t i = 0; i < f.width; ++i) u8(f.offset + i, f.value >> 8 * i & 0xFF);
  }
  return *this;
}

PageBuilder& PageBuilder::text(std::size_t offset, const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) u8(offset + i, static_cast<unsigned char>(text[i]));
  return *this;
}

PageBuilder& PageBuilder::fill(std::size_t from, std::size_t to, std::uint8_t value) {
  for (std::size_t i = from; i < to; ++i) u8(i, value);
  return *this;
}

PageBuilder& PageBuilder::fix_crc() {
  const bool jedec_layout = std::memcmp(page_.bytes, "JESD", 4) == 0;
  const std::size_t covered = jedec_layout ? 510 : 254;
  return le16(covered, crc16_param_page(page_.bytes, covered, kParamPageCrcSeed));
}

std::string decode(const ParamPage& page, int level) {
  char buffer[kReportCapacity];
  std::memset(buffer, 0, sizeof buffer);
  const std::size_t length = decode_parameter_page(page, buffer, level);
  EXPECT_EQ(length, std::strlen(buffer)) << "returned length differs from the text";
  EXPECT_LT(length + 1, sizeof buffer) << "report filled its buffer";
  return std::string(buffer, length);
}

void expect_reports(std::initializer_list<ReportCase> cases) {
  for (const ReportCase& c : cases) {
    const bool absent = c.text.starts_with('!');
    const std::string report = decode(c.page, c.level);
    EXPECT_EQ(report.find(c.text.substr(absent ? 1 : 0)) == std::string::npos, absent) << c.what << "\n"
                                                                                       << report;
  }
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), {}};
}

void write_file(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  if (!(out << content)) throw std::runtime_error("cannot write " + path);
}

RunResult run_tolvik(const std::vector<std::string>& args) {
  int out_pipe[2];
  int err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  posix_spawn_file_actions_addclose(&actions, out_pipe[0]);
  posix_spawn_file_actions_addclose(&actions, err_pipe[0]);
  std::vector<std::string> storage = {TOLVIK_BINARY};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, TOLVIK_BINARY, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (spawned != 0) throw std::runtime_error("spawn " TOLVIK_BINARY);

  RunResult result;
  std::string err;
  char chunk[4096];
  ssize_t n = 0;
  while ((n = read(out_pipe[0], chunk, sizeof chunk)) > 0)
    result.out.append(chunk, static_cast<std::size_t>(n));
  while ((n = read(err_pipe[0], chunk, sizeof chunk)) > 0) err.append(chunk, static_cast<std::size_t>(n));
  close(out_pipe[0]);
  close(err_pipe[0]);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  EXPECT_EQ(err, "") << "tolvik wrote to standard error";
  return result;
}

TempDir::TempDir() {
  char pattern[] = "/tmp/tolvik-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace tolvik::test

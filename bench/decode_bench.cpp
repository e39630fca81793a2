// parse_page, and decode_parameter_page (parse and text report), on full pages
// (every flag set) of both layouts at levels 0, 1 and 2; pages/s is the figure
// to watch, report_chars the text per page.
#include <benchmark/benchmark.h>

#include "full_page.h"
#include "tolvik.h"

namespace {

using tolvik::bench::Layout;

void decode(benchmark::State& state, Layout layout, int level) {
  const tolvik::ParamPage page = tolvik::bench::full_page(layout);
  char report[tolvik::kReportCapacity];
  std::size_t length = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(page);
    length = tolvik::decode_parameter_page(page, report, level);
    benchmark::DoNotOptimize(length);
    benchmark::ClobberMemory();
  }
  const auto pages = static_cast<double>(state.iterations());
  state.counters["pages/s"] = benchmark::Counter(pages, benchmark::Counter::kIsRate);
  state.counters["report_chars"] = static_cast<double>(length);
}

// The model alone: one page parsed into every field, no report.
void parse(benchmark::State& state, Layout layout) {
  const tolvik::ParamPage page = tolvik::bench::full_page(layout);
  tolvik::PageModel model;
  for (auto _ : state) {
    benchmark::DoNotOptimize(page);
    benchmark::DoNotOptimize(tolvik::parse_page(page.bytes, model));
    benchmark::ClobberMemory();
  }
  const auto pages = static_cast<double>(state.iterations());
  state.counters["pages/s"] = benchmark::Counter(pages, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(parse, onfi, Layout::Onfi);
BENCHMARK_CAPTURE(parse, jedec, Layout::Jedec);
BENCHMARK_CAPTURE(decode, onfi_level0, Layout::Onfi, 0);
BENCHMARK_CAPTURE(decode, onfi_level1, Layout::Onfi, 1);
BENCHMARK_CAPTURE(decode, onfi_level2, Layout::Onfi, 2);
BENCHMARK_CAPTURE(decode, jedec_level0, Layout::Jedec, 0);
BENCHMARK_CAPTURE(decode, jedec_level1, Layout::Jedec, 1);
BENCHMARK_CAPTURE(decode, jedec_level2, Layout::Jedec, 2);

}  // namespace

BENCHMARK_MAIN();

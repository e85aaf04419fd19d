// Implode and explode throughput and compressed sizes over the generated
// corpus, for every literal mode and dictionary size. With libdynamite present
// its explode runs on the same streams for comparison.
//
// On the reference corpus (real files outside the tree, with a table of the
// best open implementation's sizes and the format's minimum) both implode
// parses run, and a table sets their sizes and speeds against those figures.
// The folder is LV_DCL_CORPUS, else the one configured at build time; without
// it those rows are skipped with a message.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "DclCorpus.h"
#include "dcl/Dcl.h"
#include "dcl/DclBuffer.h"

#ifdef LV_BENCH_DYNAMITE
extern "C" {
#include <libdynamite.h>
}
#endif

namespace {

using dclbench::Bytes;

constexpr std::size_t kCorpusSize = 3 << 20;

const std::vector<dclbench::CorpusFile>& Corpus() {
  static const auto corpus = dclbench::MakeCorpus(kCorpusSize);
  return corpus;
}

// Reads from one buffer and writes into a preallocated one, as a caller that
// keeps everything in memory would.
struct MemoryIo {
  const std::uint8_t* in;
  std::size_t inSize;
  std::size_t inPos;
  std::uint8_t* out;
  std::size_t outCap;
  std::size_t outSize;

  static unsigned DCL_CALL Read(char* buf, unsigned* size, void* param) {
    auto* io = static_cast<MemoryIo*>(param);
    const std::size_t n = std::min<std::size_t>(*size, io->inSize - io->inPos);
    std::memcpy(buf, io->in + io->inPos, n);
    io->inPos += n;
    return static_cast<unsigned>(n);
  }
  static void DCL_CALL Write(char* buf, unsigned* size, void* param) {
    auto* io = static_cast<MemoryIo*>(param);
    const std::size_t n = std::min<std::size_t>(*size, io->outCap - io->outSize);
    std::memcpy(io->out + io->outSize, buf, n);
    io->outSize += n;
  }
};

const char* ModeName(unsigned mode) { return mode == dcl::kAscii ? "ascii" : "binary"; }

void BenchImplode(benchmark::State& state, const Bytes* input, unsigned mode, unsigned dict,
                  dcl::Parse parse) {
  const bool optimal = parse == dcl::Parse::kOptimal;
  std::vector<char> work(optimal ? dcl::kImplodeOptimalWorkSize : dcl::kImplodeWorkSize);
  const auto implode = optimal ? dcl_implode_optimal : dcl_implode;
  Bytes out(input->size() * 2 + 64);  // ascii literals take up to 14 bits
  MemoryIo io{};
  for (auto _ : state) {
    io = MemoryIo{input->data(), input->size(), 0, out.data(), out.size(), 0};
    unsigned m = mode, d = dict;
    if (implode(MemoryIo::Read, MemoryIo::Write, work.data(), &io, &m, &d) != 0)
      state.SkipWithError("implode failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input->size()));
  state.counters["packed"] = static_cast<double>(io.outSize);
  state.counters["ratio%"] = 100.0 * static_cast<double>(io.outSize) / static_cast<double>(input->size());
}

void BenchExplode(benchmark::State& state, const Bytes* input, unsigned mode, unsigned dict,
                  dcl::Parse parse) {
  const Bytes packed = dcl::ImplodeBuffer(*input, mode, dict, parse).data;
  std::vector<char> work(dcl::kExplodeWorkSize);
  Bytes out(input->size());
  MemoryIo io{};
  for (auto _ : state) {
    io = MemoryIo{packed.data(), packed.size(), 0, out.data(), out.size(), 0};
    if (dcl_explode(MemoryIo::Read, MemoryIo::Write, work.data(), &io) != 0)
      state.SkipWithError("explode failed");
  }
  if (out != *input) state.SkipWithError("explode output differs");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input->size()));
  state.counters["packed"] = static_cast<double>(packed.size());
}

#ifdef LV_BENCH_DYNAMITE
size_t DynamiteRead(void* buf, size_t size, void* cookie) {
  auto* io = static_cast<MemoryIo*>(cookie);
  const std::size_t n = std::min(size, io->inSize - io->inPos);
  std::memcpy(buf, io->in + io->inPos, n);
  io->inPos += n;
  return n;
}
size_t DynamiteWrite(void* buf, size_t size, void* cookie) {
  auto* io = static_cast<MemoryIo*>(cookie);
  const std::size_t n = std::min(size, io->outCap - io->outSize);
  std::memcpy(io->out + io->outSize, buf, n);
  io->outSize += n;
  return n;
}

void BenchDynamiteExplode(benchmark::State& state, const Bytes* input, unsigned dict) {
  const Bytes packed = dcl::ImplodeBuffer(*input, dcl::kBinary, dict).data;
  Bytes out(input->size());
  MemoryIo io{};
  for (auto _ : state) {
    io = MemoryIo{packed.data(), packed.size(), 0, out.data(), out.size(), 0};
    if (dynamite_explode(DynamiteRead, DynamiteWrite, &io) != DYNAMITE_SUCCESS)
      state.SkipWithError("dynamite_explode failed");
  }
  if (out != *input) state.SkipWithError("dynamite output differs");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input->size()));
}
#endif

std::string RowName(const char* what, const std::string& file, unsigned mode, unsigned dict) {
  return std::string(what) + "/" + file + "/" + ModeName(mode) + "/" + std::to_string(dict);
}

void RegisterGenerated() {
  for (const auto& file : Corpus()) {
    for (unsigned mode : {dcl::kBinary, dcl::kAscii}) {
      for (unsigned dict : {dcl::kDict1024, dcl::kDict2048, dcl::kDict4096}) {
        benchmark::RegisterBenchmark(RowName("implode", file.name, mode, dict).c_str(), BenchImplode,
                                     &file.data, mode, dict, dcl::Parse::kFast)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(RowName("explode", file.name, mode, dict).c_str(), BenchExplode,
                                     &file.data, mode, dict, dcl::Parse::kFast)
            ->Unit(benchmark::kMillisecond);
#ifdef LV_BENCH_DYNAMITE
        if (mode == dcl::kBinary)
          benchmark::RegisterBenchmark(RowName("dynamite_explode", file.name, mode, dict).c_str(),
                                       BenchDynamiteExplode, &file.data, dict)
              ->Unit(benchmark::kMillisecond);
#endif
      }
    }
  }
}

// ---- the reference corpus ------------------------------------------------------

std::string CorpusFolder() {
  const char* env = std::getenv("LV_DCL_CORPUS");
  return env != nullptr && *env != '\0' ? env : LV_DCL_CORPUS_DIR;
}

const dclbench::ReferenceCorpus& Reference() {
  static const auto corpus = dclbench::ReadReferenceCorpus(CorpusFolder());
  return corpus;
}

const Bytes* ReferenceFile(const std::string& name) {
  for (const auto& f : Reference().files)
    if (f.name == name) return &f.data;
  return nullptr;
}

// Row names of the reference corpus: "<what>/ref/<file>/<mode>/<dict>".
std::string ReferenceRow(const char* what, const dclbench::ReferenceSizes& r) {
  return RowName(what, "ref/" + r.file, r.mode, r.dict);
}

void RegisterReference() {
  for (const auto& r : Reference().sizes) {
    const Bytes* data = ReferenceFile(r.file);
    benchmark::RegisterBenchmark(ReferenceRow("implode", r).c_str(), BenchImplode, data, r.mode,
                                 r.dict, dcl::Parse::kFast)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(ReferenceRow("implode_optimal", r).c_str(), BenchImplode, data,
                                 r.mode, r.dict, dcl::Parse::kOptimal)
        ->Unit(benchmark::kMillisecond);
    // What an installer decodes: the optimal parse's stream.
    benchmark::RegisterBenchmark(ReferenceRow("explode_optimal", r).c_str(), BenchExplode, data,
                                 r.mode, r.dict, dcl::Parse::kOptimal)
        ->Unit(benchmark::kMillisecond);
  }
}

// Keeps the figures of every row as the console shows them: the median when
// runs are repeated, else the single run.
class Recorder : public benchmark::ConsoleReporter {
 public:
  // Plain text: the bench's output is read from logs, and a reporter of our own does
  // not get --benchmark_color, which only the library's default reporter reads.
  Recorder() : ConsoleReporter(OO_Tabular) {}

  struct Figures {
    double bytesPerSecond = 0;
    double packed = 0;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      Figures f;
      const auto rate = run.counters.find("bytes_per_second");
      if (rate != run.counters.end()) f.bytesPerSecond = rate->second;
      const auto packed = run.counters.find("packed");
      if (packed != run.counters.end()) f.packed = packed->second;
      rows_[run.run_name.function_name] = f;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  const Figures* Find(const std::string& row) const {
    const auto it = rows_.find(row);
    return it == rows_.end() ? nullptr : &it->second;
  }

 private:
  std::map<std::string, Figures> rows_;
};

double Percent(double size, double reference) { return 100.0 * (size / reference - 1.0); }

// One line of the summary that `make bench` ends with, also appended to the
// file named by LV_BENCH_SUMMARY (tab-separated: figure, measured, goal, ratio).
void SummaryLine(const std::string& figure, const std::string& measured, const std::string& goal,
                 const std::string& ratio) {
  std::printf("%-58s %-22s %-26s %s\n", figure.c_str(), measured.c_str(), goal.c_str(), ratio.c_str());
  if (const char* path = std::getenv("LV_BENCH_SUMMARY")) {
    if (FILE* f = std::fopen(path, "a")) {
      std::fprintf(f, "%s\t%s\t%s\t%s\n", figure.c_str(), measured.c_str(), goal.c_str(), ratio.c_str());
      std::fclose(f);
    }
  }
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Goal of the optimal parse's speed, MB (10^6 bytes) of input per second.
constexpr double kOptimalSpeedGoal = 10.0;
// Goal of its size: the format's minimum, within this many percent.
constexpr double kMinimumTolerance = 0.1;

void PrintReferenceTable(const Recorder& recorder) {
  const auto& ref = Reference();
  std::printf("\n== Implode on the reference corpus (%s): sizes in bytes, speeds in MB/s (10^6 bytes of "
              "input), medians\n",
              CorpusFolder().c_str());
  std::printf("%-9s %-6s %5s | %10s %10s %9s %6s | %10s %10s %9s %6s\n", "file", "mode", "dict",
              "optimal", "minimum", "vs min", "MB/s", "fast", "open best", "vs open", "MB/s");
  double worstMin = -1e9, worstOpen = -1e9;
  double slowestOptimal = 1e300, slowestFast = 1e300, fastestFast = 0;
  bool complete = true;
  for (const auto& r : ref.sizes) {
    const auto* optimal = recorder.Find(ReferenceRow("implode_optimal", r));
    const auto* fast = recorder.Find(ReferenceRow("implode", r));
    if (optimal == nullptr || fast == nullptr) {
      complete = false;
      continue;
    }
    const double vsMin = Percent(optimal->packed, static_cast<double>(r.minimum));
    const double vsOpen = Percent(fast->packed, static_cast<double>(r.openBest));
    std::printf("%-9s %-6s %5u | %10.0f %10zu %+8.3f%% %6.1f | %10.0f %10zu %+8.3f%% %6.1f\n",
                r.file.c_str(), ModeName(r.mode), r.dict, optimal->packed, r.minimum, vsMin,
                optimal->bytesPerSecond / 1e6, fast->packed, r.openBest, vsOpen, fast->bytesPerSecond / 1e6);
    worstMin = std::max(worstMin, std::abs(vsMin));
    worstOpen = std::max(worstOpen, vsOpen);
    slowestOptimal = std::min(slowestOptimal, optimal->bytesPerSecond / 1e6);
    slowestFast = std::min(slowestFast, fast->bytesPerSecond / 1e6);
    fastestFast = std::max(fastestFast, fast->bytesPerSecond / 1e6);
  }
  if (!complete || ref.sizes.empty()) {
    std::printf("(rows missing: run without --benchmark_filter to fill the table)\n");
    return;
  }
  std::printf("\n== Implode summary (speeds are absolute figures of this machine)\n");
  SummaryLine("optimal implode size vs format minimum, largest gap", Format("%.3f %%", worstMin),
              Format("<= %.1f %%", kMinimumTolerance), Format("%.2f", worstMin / kMinimumTolerance));
  SummaryLine("fast implode size vs open best, largest", Format("%+.3f %%", worstOpen), "<= 0 %",
              Format("%.4f", 1.0 + worstOpen / 100.0));
  SummaryLine("optimal implode speed, slowest median", Format("%.1f MB/s", slowestOptimal),
              Format(">= %.0f MB/s", kOptimalSpeedGoal), Format("%.2f", slowestOptimal / kOptimalSpeedGoal));
  SummaryLine("fast implode speed, medians", Format("%.0f", slowestFast) + Format("-%.0f MB/s", fastestFast),
              "keep (57-70 MB/s before)", "-");
}

}  // namespace

int main(int argc, char** argv) {
  RegisterGenerated();
  if (Reference().problem.empty())
    RegisterReference();
  else
    std::printf("Reference corpus rows skipped: %s\n", Reference().problem.c_str());
  benchmark::Initialize(&argc, argv);
  Recorder recorder;
  benchmark::RunSpecifiedBenchmarks(&recorder);
  if (Reference().problem.empty()) PrintReferenceTable(recorder);
  benchmark::Shutdown();
  return 0;
}

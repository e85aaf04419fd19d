// Implode and explode throughput and compressed sizes over the generated
// corpus, for every literal mode and dictionary size. With libdynamite present
// its explode runs on the same streams for comparison.
#include <benchmark/benchmark.h>

#include <cstring>
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

void BenchImplode(benchmark::State& state, const Bytes* input, unsigned mode, unsigned dict) {
  std::vector<char> work(dcl::kImplodeWorkSize);
  Bytes out(input->size() * 2 + 64);  // ascii literals take up to 14 bits
  MemoryIo io{};
  for (auto _ : state) {
    io = MemoryIo{input->data(), input->size(), 0, out.data(), out.size(), 0};
    unsigned m = mode, d = dict;
    if (dcl_implode(MemoryIo::Read, MemoryIo::Write, work.data(), &io, &m, &d) != 0)
      state.SkipWithError("implode failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input->size()));
  state.counters["packed"] = static_cast<double>(io.outSize);
  state.counters["ratio%"] = 100.0 * static_cast<double>(io.outSize) / static_cast<double>(input->size());
}

void BenchExplode(benchmark::State& state, const Bytes* input, unsigned mode, unsigned dict) {
  const Bytes packed = dcl::ImplodeBuffer(*input, mode, dict).data;
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

void RegisterAll() {
  for (const auto& file : Corpus()) {
    for (unsigned mode : {dcl::kBinary, dcl::kAscii}) {
      for (unsigned dict : {dcl::kDict1024, dcl::kDict2048, dcl::kDict4096}) {
        const std::string suffix = file.name + "/" + ModeName(mode) + "/" + std::to_string(dict);
        benchmark::RegisterBenchmark(("implode/" + suffix).c_str(), BenchImplode, &file.data, mode, dict)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("explode/" + suffix).c_str(), BenchExplode, &file.data, mode, dict)
            ->Unit(benchmark::kMillisecond);
#ifdef LV_BENCH_DYNAMITE
        if (mode == dcl::kBinary)
          benchmark::RegisterBenchmark(("dynamite_explode/" + suffix).c_str(), BenchDynamiteExplode,
                                       &file.data, dict)
              ->Unit(benchmark::kMillisecond);
#endif
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// Base64 decoding throughput on 64 MiB of random bytes (about 89 MB of text), as one block
// and through the decoding pipe. Rates are of decoded bytes.
//
// With NYCL_BENCH_BASE64_TEXT set to a path, the encoded text is also written there, so that
// other decoders can be timed on the same data.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "nycl/base/Base64.h"

namespace {

constexpr size_t kDataSize = size_t{64} << 20;

struct Corpus {
  std::vector<unsigned char> bytes;
  std::string text;

  Corpus() : bytes(kDataSize) {
    std::mt19937_64 rng(42);
    for (size_t i = 0; i < bytes.size(); i += 8) {
      uint64_t word = rng();
      for (int k = 0; k < 8; ++k) bytes[i + k] = static_cast<unsigned char>(word >> (8 * k));
    }
    text.resize(4 * ((bytes.size() + 2) / 3) + 1);
    nycl::EncodeBase64Block(bytes.data(), &text[0], static_cast<int>(bytes.size()));
    text.pop_back();
    if (const char* path = std::getenv("NYCL_BENCH_BASE64_TEXT")) {
      if (FILE* file = std::fopen(path, "wb")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
      }
    }
  }
};

const Corpus& GetCorpus() {
  static const Corpus corpus;
  return corpus;
}

void CountBytes(void* ctx, const unsigned char* /*bytes*/, int count) {
  *static_cast<size_t*>(ctx) += static_cast<size_t>(count);
}

void BM_DecodeBlock(benchmark::State& state) {
  const Corpus& corpus = GetCorpus();
  std::vector<unsigned char> out(corpus.bytes.size() + 4);
  for (auto _ : state) {
    int count = 0;
    nycl::DecodeBase64Block(corpus.text.data(), out.data(), static_cast<int>(corpus.text.size()),
                            &count);
    benchmark::DoNotOptimize(count);
    if (static_cast<size_t>(count) != corpus.bytes.size()) state.SkipWithError("bad count");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.bytes.size()));
}

// The pipe fed `range(0)` characters per call (2720 is one protocol line of file data); 0
// feeds the whole text in one call.
void BM_DecodePipe(benchmark::State& state) {
  const Corpus& corpus = GetCorpus();
  size_t piece = state.range(0) > 0 ? static_cast<size_t>(state.range(0)) : corpus.text.size();
  for (auto _ : state) {
    size_t decoded = 0;
    for (size_t at = 0; at < corpus.text.size(); at += piece) {
      size_t n = std::min(piece, corpus.text.size() - at);
      nycl::DecodeBase64Pipe(corpus.text.data() + at, static_cast<int>(n), CountBytes, &decoded);
    }
    nycl::DecodeBase64Pipe(nullptr, 0, CountBytes, &decoded);
    if (decoded != corpus.bytes.size()) state.SkipWithError("bad count");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.bytes.size()));
}

BENCHMARK(BM_DecodeBlock)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePipe)->Arg(2720)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

// The fuzz target's checks under ctest: every input of the seed corpus, then
// random programs, which hold the fast paths to the word path on some two
// million operations. Each random run prints its seed; LONGDEC_SEED=<n>
// replays it and LONGDEC_FUZZ_RUNS=<n> sets the number of programs.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::uint64_t env_or(const char* name, std::uint64_t otherwise) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : otherwise;
}

TEST(LdFuzzChecks, SeedCorpus) {
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(LONGDEC_CORPUS_DIR)) {
    std::printf("%s\n", entry.path().filename().c_str());
    std::fflush(stdout);  // names the input if a check aborts
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++inputs;
  }
  EXPECT_GE(inputs, 10);
}

TEST(LdFuzzChecks, RandomPrograms) {
  const std::uint64_t seed =
      env_or("LONGDEC_SEED", (std::uint64_t{std::random_device{}()} << 32) ^ std::random_device{}());
  std::printf("LONGDEC_SEED=%llu\n", static_cast<unsigned long long>(seed));
  std::fflush(stdout);
  std::mt19937_64 rng(seed);
  std::vector<std::uint8_t> input(600);
  for (std::uint64_t run = env_or("LONGDEC_FUZZ_RUNS", 40000); run > 0; --run) {
    for (std::uint8_t& b : input) b = static_cast<std::uint8_t>(rng());
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
}

}  // namespace

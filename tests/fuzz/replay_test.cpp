// Runs every fuzz target on its seed corpus and on every input that once broke
// one of its properties (fuzz/regressions/<target>/, kept forever), with the
// same checks as under the fuzzer: a broken property fails the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "harness.h"

int fuzz_target_fen(const std::uint8_t* data, std::size_t size);
int fuzz_target_position(const std::uint8_t* data, std::size_t size);
int fuzz_target_go(const std::uint8_t* data, std::size_t size);
int fuzz_target_setoption(const std::uint8_t* data, std::size_t size);
int fuzz_target_uci_loop(const std::uint8_t* data, std::size_t size);

namespace FuzzHarness {

void fail(const std::string& what) { ADD_FAILURE() << "fuzz property broken: " << what; }

}  // namespace FuzzHarness

namespace {

using Target = int (*)(const std::uint8_t*, std::size_t);

struct NamedTarget {
  const char* name;
  Target run;
};

const NamedTarget TARGETS[] = {
    {"fen", fuzz_target_fen},
    {"position", fuzz_target_position},
    {"go", fuzz_target_go},
    {"setoption", fuzz_target_setoption},
    {"uci_loop", fuzz_target_uci_loop},
};

// The inputs of one target, in a fixed order.
std::vector<std::filesystem::path> inputs_of(const std::string& target) {
  std::vector<std::filesystem::path> files;
  for (const char* folder : {"corpus", "regressions"}) {
    const std::filesystem::path dir = std::filesystem::path(QV_FUZZ_DIR) / folder / target;
    if (!std::filesystem::is_directory(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Test names show the target's name rather than the record's bytes.
void PrintTo(const NamedTarget& target, std::ostream* out) { *out << target.name; }

class FuzzReplay : public testing::TestWithParam<NamedTarget> {};

TEST_P(FuzzReplay, CorpusAndRegressionsKeepTheirProperties) {
  const std::vector<std::filesystem::path> files = inputs_of(GetParam().name);
  EXPECT_FALSE(files.empty()) << "no seed corpus for " << GetParam().name;
  for (const std::filesystem::path& file : files) {
    SCOPED_TRACE(file.string());
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    GetParam().run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, testing::ValuesIn(TARGETS),
                         [](const testing::TestParamInfo<NamedTarget>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace

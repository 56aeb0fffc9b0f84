// Shared pieces of the fuzz targets. A target is one function over a byte
// string, declared with QV_FUZZ_TARGET. Built with libFuzzer (QV_LIBFUZZER
// defined) it is the fuzzer's entry point; built into the test suite it is an
// ordinary function, which the replay test runs on the seed corpus and on every
// input that once broke a property.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "uci/engine.h"

#ifdef QV_LIBFUZZER
#define QV_FUZZ_TARGET(name) \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
#else
#define QV_FUZZ_TARGET(name) int fuzz_target_##name(const std::uint8_t* data, std::size_t size)
#endif

namespace FuzzHarness {

// Reports a broken property. Under libFuzzer it aborts, so the fuzzer saves
// the input; in the replay test it fails the running test.
void fail(const std::string& what);
inline void require(bool ok, const char* what) {
  if (!ok) fail(what);
}

// Fills the attack tables once.
void init_tables();

// The input as one command line: its bytes up to the first line feed, as the
// engine's line reader would hand them over.
std::string first_line(const std::uint8_t* data, std::size_t size);
// The input split into lines at line feeds (a last line without one counts).
std::vector<std::string> split_lines(const std::uint8_t* data, std::size_t size);

// The one engine of the process. It prints into a string and runs on a
// simulated machine short of memory: hash tables above a few megabytes cannot
// be had, so every size request exercises the fallback and no input can make
// the process allocate gigabytes.
UciEngine& engine();
// The lines the engine has printed since the last call.
std::vector<std::string> take_output();

}  // namespace FuzzHarness

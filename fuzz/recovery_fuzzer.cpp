// libFuzzer target: build with the "fuzz" preset (clang), run with `make fuzz`.
#include <cstddef>
#include <cstdint>

#include "fuzz/recovery_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dunmere::RunRecoveryOnBytes(data, size);
  return 0;
}

// Arbitrary bytes as a DSF file: opening fails cleanly or gives data
// inside the file, and markers, tags and the limits check behave whatever
// the header claims (the sanitizers watch every read and allocation).
#include <cstdint>

#include "formats/one_bit/internal/dsf_reader.h"
#include "tests/fuzz/one_bit_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tidemark::NS_1BIT::CDsf reader;
  tidemark::fuzz::ExerciseOneBitReader(reader, data, size, true);
  return 0;
}

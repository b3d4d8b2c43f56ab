// The row stream reader on arbitrary streams, row lengths and row counts: it
// must stay inside the stream and the image, and say why it stops.
#include "fuzz_input.h"
#include "kavcmp_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kav::fuzz::FuzzInput input(data, size);
  const uint32_t rowBytes = input.TakeInRange(0, 700);
  const uint32_t rows = input.TakeInRange(0, 3000);
  const std::vector<uint8_t> stream = input.TakeRest();

  std::vector<uint8_t> image;
  const kav::StreamDecodeResult result = kav::DecodeRowStream(stream.data(), stream.size(), rowBytes, rows, image);
  FUZZ_CHECK(image.size() == size_t{rowBytes} * rows);
  FUZZ_CHECK(result.rowsDecoded <= rows);
  FUZZ_CHECK(result.ok == result.error.empty());
  FUZZ_CHECK(result.ok || result.errorOffset < stream.size());
  // Every byte of the image is read, so a sanitizer sees any left unwritten.
  unsigned sum = 0;
  for (const uint8_t byte : image) sum += byte;
  FUZZ_CHECK(sum <= 255u * image.size());
  return 0;
}

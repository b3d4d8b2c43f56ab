#include "c_codec_client.h"

#include <stddef.h>

long CompressFromC(const struct CodecTable* codec, const uint8_t* image, uint32_t widthBits, uint32_t rows,
                   uint8_t* out, uint32_t capacity) {
  const int32_t stride = (int32_t)((widthBits + 7) / 8);
  uint32_t size = 0;
  long answer = -1;
  CompressHandle* handle = codec->LoadCompress();
  if (handle == NULL) return -1;
  if (codec->InitBitmap(handle, 1, widthBits, rows, stride) == 0) {
    if (codec->CompressBitmap(handle, image, rows, &size) == 0 && size <= capacity &&
        codec->GetBitmap(handle, out) == 0) {
      answer = (long)size;
    }
    if (codec->FinishBitmap(handle) != 0) answer = -1;
  }
  if (codec->FreeCompress(handle) != 0) answer = -1;
  return answer;
}

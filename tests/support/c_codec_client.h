/* A C module using the codec through its public header, the way another
 * module would, with the six functions found at run time. */
#ifndef KAV_C_CODEC_CLIENT_H
#define KAV_C_CODEC_CLIENT_H

#include "kavcmp.h"

#ifdef __cplusplus
extern "C" {
#endif

struct CodecTable {
  CompressHandle* (*LoadCompress)(void);
  int (*InitBitmap)(CompressHandle*, int32_t, uint32_t, uint32_t, int32_t);
  int (*CompressBitmap)(CompressHandle*, const uint8_t*, uint32_t, uint32_t*);
  int (*GetBitmap)(CompressHandle*, uint8_t*);
  int (*FinishBitmap)(CompressHandle*);
  int (*FreeCompress)(CompressHandle*);
};

/* Codes `rows` packed rows of `widthBits` bits in one call and collects the
 * stream into `out`; answers its length, or -1 when a call fails or the
 * stream would not fit `capacity`. */
long CompressFromC(const struct CodecTable* codec, const uint8_t* image, uint32_t widthBits, uint32_t rows,
                   uint8_t* out, uint32_t capacity);

#ifdef __cplusplus
}
#endif

#endif /* KAV_C_CODEC_CLIENT_H */

/* The row compression codec exported by kavrender: a raster image of whole-
 * byte rows (1-bit pixels, eight to a byte) is coded row by row against a
 * seed row into a stream of repeat items, blank-row runs and changed-row
 * items. Plain C, usable from any module that loads the library.
 *
 * Calling order: kavcmp_LoadCompress; then for each image kavcmp_InitBitmap,
 * one or more pairs of kavcmp_CompressBitmap and kavcmp_GetBitmap, and
 * kavcmp_FinishBitmap; at the end kavcmp_FreeCompress.
 *
 * Every function but kavcmp_LoadCompress answers 0 for success and 1 for
 * failure, and reports nothing else (no last-error code). A handle is used by
 * one thread at a time; handles share nothing. All memory is the handle's own
 * and is released by kavcmp_FreeCompress. */
#ifndef KAVCMP_H
#define KAVCMP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque: only pointers to it leave the library. */
typedef struct CompressHandle CompressHandle;

/* A new handle with no image open, or NULL when memory cannot be had. */
CompressHandle* kavcmp_LoadCompress(void);

/* Opens an image; an image still open on the handle is closed first.
 *   mode       must be 1.
 *   widthBits  bits per row (the pixel width for 1-bit rows); at least 1. The
 *              row length is (widthBits + 7) / 8 bytes; bits beyond widthBits
 *              in the last byte are ignored.
 *   rows       the number of rows the image will have. A run of blank rows at
 *              the end of the image is written when the row counted as the
 *              last one is coded; with fewer rows coded it stays unwritten.
 *   stride     bytes from the start of one source row to the start of the
 *              next; negative for images stored bottom row first.
 * Answers 1 for a null handle, a mode other than 1, a width of 0 or when the
 * row buffers cannot be had; no image is open afterwards. */
int kavcmp_InitBitmap(CompressHandle* handle, int32_t mode, uint32_t widthBits, uint32_t rows, int32_t stride);

/* Codes `count` rows, the first at `source`, each next one `stride` bytes on;
 * only the row length's bytes of each row are read. Rows continue the stream
 * of the earlier calls for the same image, so an image may be fed in slices.
 * The output of the previous call that was not collected with
 * kavcmp_GetBitmap is discarded.
 *   outSize    may be NULL; otherwise receives the number of bytes that
 *              kavcmp_GetBitmap will hand out (also when the answer is 1).
 * Answers 1 for a null handle, when no image is open, for a NULL source with a
 * non-zero count, and when the output cannot be had (out of memory, or more
 * than 4 GiB of output for one call); nothing is coded then. */
int kavcmp_CompressBitmap(CompressHandle* handle, const uint8_t* source, uint32_t count, uint32_t* outSize);

/* Copies the bytes of the last kavcmp_CompressBitmap not yet collected to
 * `destination`, which has room for the size that call reported. A second
 * call copies nothing. Works also after kavcmp_FinishBitmap.
 * Answers 1 for a null handle or a NULL destination. */
int kavcmp_GetBitmap(CompressHandle* handle, uint8_t* destination);

/* Closes the open image; the handle keeps its buffers for the next one.
 * Answers 1 for a null handle or when no image was open. */
int kavcmp_FinishBitmap(CompressHandle* handle);

/* Closes any open image and releases the handle with everything it owns.
 * A NULL handle is harmless and answers 0. */
int kavcmp_FreeCompress(CompressHandle* handle);

#ifdef __cplusplus
}
#endif

#endif /* KAVCMP_H */

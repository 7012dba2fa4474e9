/* The contract between the program and its two decoder plugins, mlibjpg.so and mlibpng.so.
 *
 * Both are loaded for one read and unloaded afterwards: from the program's folder first, by bare
 * name when that fails. Functions use the C calling convention; a non-zero result means success.
 * Blocks handed over are GlobalFixed: allocated with malloc, freed by the program with free.
 *
 * A plugin refuses (returns 0 for) a picture beyond the limits of picture_budget.h, before it
 * allocates anything large, and a file that ends early or holds damaged data, unless every row of
 * the picture was decoded from real data. */
#ifndef MESHWRIGHT_MLIB_API_H
#define MESHWRIGHT_MLIB_API_H

#include "plugins/picture_budget.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What the JPEG plugin tells the program before it decodes. */
typedef struct JpgImageInfo {
  int width;
  int height;                   /* positive: rows are delivered top first */
  int bitCount;                 /* 8 (palette or grey) or 24 (blue, green, red) */
  int paletteCount;             /* entries at palette for 8 bits, at most 256 */
  const unsigned char* palette; /* blue, green, red, reserved per entry */
} JpgImageInfo;

/* Creates the image; returns 1, or 0 to refuse it. */
typedef int (*OnJpgCreateFn)(const JpgImageInfo* info, void* context);
/* Where picture row `row` (0 = top) goes, width * bytes per pixel bytes; null stops decoding. */
typedef unsigned char* (*OnJpgRowFn)(int row, void* context);
/* int LoadJPG(const char* path, OnJpgCreateFn, OnJpgRowFn, void* context) */
typedef int (*LoadJpgFn)(const char* path, OnJpgCreateFn onCreate, OnJpgRowFn onRow, void* context);

/* Fraction of the work done; returns 0 to stop. */
typedef int (*OnPngProgressFn)(float fraction, void* context);
/* int LoadPNG(const char* path, unsigned char** header, unsigned char** pixels, OnPngProgressFn,
 *             void* context)
 * On success *header is a 40-byte bitmap information header followed by its colour table and
 * *pixels the matching rows, padded to 4 bytes, bottom row first; both GlobalFixed. */
typedef int (*LoadPngFn)(const char* path, unsigned char** header, unsigned char** pixels, OnPngProgressFn onProgress,
                         void* context);

#ifdef __cplusplus
}
#endif

#endif

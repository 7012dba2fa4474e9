/* What decoding one texture may cost: the single home of the limits every image reader (the
 * program's own and the two plugins) checks before it allocates anything large.
 *
 * A picture is refused when either side is longer than MW_PICTURE_MAX_SIDE pixels, or when its
 * pixel block as the texture code finally holds it (rows padded to 4 bytes, at 24 bits per pixel,
 * or 32 for pictures that keep alpha) would exceed MW_PICTURE_MAX_BYTES. Indexed and grey pictures
 * are costed at 24 bits because the texture code converts them to that. A decoder's own working
 * memory (libjpeg's coefficient buffers, for instance) is held to the same MW_PICTURE_MAX_BYTES.
 *
 * Compressed data must also be able to describe the picture it announces: run-length formats
 * expand their input at most MW_RUN_LENGTH_* times (see MwCompressedPlausible), deflate at most
 * MW_DEFLATE_MAX_EXPANSION times. Data that would have to expand further cannot be a whole picture,
 * so such a file is refused before the picture is allocated; every picture up to
 * MW_COMPRESSED_SLACK_BYTES decoded is allowed whatever its data, since it costs next to nothing.
 *
 * Plain C: the plugins include it through mlib_api.h. */
#ifndef MESHWRIGHT_PICTURE_BUDGET_H
#define MESHWRIGHT_PICTURE_BUDGET_H

#define MW_PICTURE_MAX_SIDE 16384u
#define MW_PICTURE_MAX_BYTES (256ull * 1024u * 1024u)

/* Most bytes one byte of compressed data can decode to, per encoding. */
#define MW_RLE8_MAX_EXPANSION 128ull      /* a two-byte run writes up to 255 pixels */
#define MW_TARGA_RLE_MAX_EXPANSION 128ull /* one packet of 1 + n bytes writes 128 pixels of n bytes */
#define MW_BYTERUN1_MAX_EXPANSION 64ull   /* a two-byte run writes up to 128 bytes */
#define MW_DEFLATE_MAX_EXPANSION 1032ull  /* a 258-byte match in two bits */
#define MW_COMPRESSED_SLACK_BYTES (64ull * 1024u)

/* Non-zero when a width x height picture decoded at `bits` per pixel stays within the budget. All
 * arithmetic is in 64 bits on values already limited to MW_PICTURE_MAX_SIDE, so nothing overflows
 * whatever the file said. */
static inline int MwPictureWithinBudget(long long width, long long height, int bits) {
  if (width <= 0 || height <= 0) return 0;
  if ((unsigned long long)width > MW_PICTURE_MAX_SIDE || (unsigned long long)height > MW_PICTURE_MAX_SIDE) return 0;
  const long long held = bits > 24 ? 32 : 24;
  const unsigned long long stride = (unsigned long long)((held * width + 31) / 32) * 4u;
  return stride * (unsigned long long)height <= MW_PICTURE_MAX_BYTES;
}

/* Non-zero when `compressedBytes` of data can plausibly decode to `decodedBytes` with an encoding
 * that expands at most `maxExpansion` times. Escapes that skip part of a picture (RLE8 end of line,
 * delta and end of bitmap) are not counted as expansion: a picture that leans on them to be larger
 * than this is refused unless it is within the slack. */
static inline int MwCompressedPlausible(unsigned long long decodedBytes, unsigned long long compressedBytes,
                                        unsigned long long maxExpansion) {
  if (compressedBytes > (1ull << 40)) return 1; /* cannot happen for a file we can read; no overflow */
  return decodedBytes <= maxExpansion * compressedBytes + MW_COMPRESSED_SLACK_BYTES;
}

#endif

// Image file readers. Each reads into a DibStream and returns whether the image was read; none
// shows a message. The reader is chosen by the file name's extension, never by the content.
//
// What a failed reader leaves: LoadBmp always leaves the image empty. The others leave what they
// created and filled so far (a partly read image keeps its rows), or the previous contents when
// they failed before creating anything.
//
// No header can make a reader allocate much more than the file could fill: uncompressed images
// must fit in the file, compressed ones in kMaxCompressedPixelBytes and the most their encoding
// can expand the file to.
#pragma once

#include <cstdio>
#include <string>

#include "image/dib_stream.h"

namespace mw {

// Fraction of rows done and the caller's value; false stops reading.
using ProgressCallback = bool (*)(float fraction, void* user);

// P6, P3 (24 bits) and P5, P2 (8-bit grey); the magic must stand alone on the first line.
bool LoadPpm(const char* path, DibStream& image, ProgressCallback progress = nullptr, void* user = nullptr);
bool LoadPpm(std::FILE* file, DibStream& image, ProgressCallback progress = nullptr, void* user = nullptr);
// Types 1, 2, 3 (uncompressed colour-mapped, true-colour, grey) and 9, 10 (run-length). A 32-bit
// image holds 255 minus the file's alpha in its fourth bytes.
bool LoadTga(const char* path, DibStream& image, ProgressCallback progress = nullptr, void* user = nullptr);
bool LoadTga(std::FILE* file, DibStream& image, ProgressCallback progress = nullptr, void* user = nullptr);
// IFF ILBM, uncompressed or ByteRun1, 1 to 24 planes. A body that ends early keeps the rows read.
bool LoadIff(const char* path, DibStream& image, ProgressCallback progress = nullptr, void* user = nullptr);
bool LoadIff(std::FILE* file, DibStream& image, ProgressCallback progress = nullptr, void* user = nullptr);
// Through the plugins mlibjpg.so and mlibpng.so, loaded by bare name for this one read; false when
// the plugin is missing.
bool LoadJpg(const char* path, DibStream& image, ProgressCallback progress = nullptr, void* user = nullptr);
bool LoadPng(const char* path, DibStream& image, ProgressCallback progress = nullptr, void* user = nullptr);

// bmp (all depths), ppm, pgm, tga, png, jpg, iff, case ignored; anything else is not read and the
// file is not touched.
bool LoadTextureImage(const std::string& path, DibStream& image);

}  // namespace mw

// Image file readers. Each reads into a DibStream and returns whether the image was read; none
// shows a message. The reader is chosen by the file name's extension, never by the content.
//
// What a failed reader leaves: LoadBmp always leaves the image empty. The others leave what they
// created and filled so far (a partly read image keeps its rows), or the previous contents when
// they failed before creating anything.
//
// No header can make a reader allocate much more than the file could fill: every picture must be
// within the budget of plugins/picture_budget.h, uncompressed pixels must be in the file, and
// compressed data must be long enough to decode to the picture it announces (the same header
// gives each encoding's largest expansion). All of it is checked before the image is allocated.
#pragma once

#include <cstdio>
#include <string>

#include "image/dib_stream.h"
#include "plugins/mlib_api.h"

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
// Through the plugins mlibjpg.so and mlibpng.so, loaded for this one read (from the program's
// folder, else by bare name); false when the plugin is missing, and for a file that ends early or
// holds damaged data unless every row was decoded (see plugins/mlib_api.h).
bool LoadJpg(const char* path, DibStream& image, ProgressCallback progress = nullptr, void* user = nullptr);
bool LoadPng(const char* path, DibStream& image, ProgressCallback progress = nullptr, void* user = nullptr);
// The same with the plugin's entry point already at hand: what LoadJpg and LoadPng do once the
// plugin is loaded. The fuzz harnesses build a plugin in and call it this way.
bool LoadJpgThrough(LoadJpgFn load, const char* path, DibStream& image, ProgressCallback progress = nullptr,
                    void* user = nullptr);
bool LoadPngThrough(LoadPngFn load, const char* path, DibStream& image, ProgressCallback progress = nullptr,
                    void* user = nullptr);

// bmp (all depths), ppm, pgm, tga, png, jpg, iff, case ignored; anything else is not read and the
// file is not touched.
bool LoadTextureImage(const std::string& path, DibStream& image);

}  // namespace mw

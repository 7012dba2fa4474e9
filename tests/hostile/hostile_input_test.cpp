// Hostile inputs: files of a few bytes whose headers promise huge pictures or counts, data cut
// short, the largest value each field can hold. Each is read the way the program reads it, in a
// child process with a few hundred MB of address space and a time limit, so that an over-large
// allocation fails the case instead of the machine. A case passes when the file is refused (or
// read, where it is a real picture) and the memory it took stays within what its size allows.
#include <gtest/gtest.h>
#include <zip.h>

#include <cstdio>
#include <functional>
#include <iterator>
#include <string>

#include "image/image_readers.h"
#include "image/material_texture.h"
#include "io/loader_mqo.h"
#include "io/loader_mqoz.h"
#include "platform/message.h"
#include "scene/fragment.h"
#include "tests/hostile/child_budget.h"
#include "tests/hostile/hostile_files.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

using test::Bytes;
using test::ChildCost;

constexpr std::int64_t kMiB = 1024 * 1024;
// Address space a child may add to what it has at the start: the picture budget and room for the
// decoders' own buffers.
constexpr std::int64_t kAddressBudget = 384 * kMiB;
// A guard against a reader that hangs, not a speed test: the figures printed below are for
// reading, and the machine may be busy.
constexpr double kTimeLimit = test::kSanitized ? 180.0 : 60.0;
// Resident memory a refused file may cost: the decoders' tables and a few rows, nothing of the
// picture it announced. Sanitized builds carry shadow memory on top, an eighth of every block
// allocated however little of it is used (libjpeg sets up the frame it was promised before the
// scan data runs out), and keep freed blocks in quarantine: there the figures only guard
// against the gross, the program build checks them closely.
constexpr std::int64_t kRefusedPeak = (test::kSanitized ? 40 : 8) * kMiB;

struct Case {
  const char* name;
  const char* file;  // its extension picks the reader
  Bytes bytes;
  bool read;  // a real picture that must be read; otherwise it must be refused
};

// Loads a texture as the program does: through the material, decoded and converted for upload.
bool LoadAsTexture(const std::string& folder, const std::string& name, std::int64_t& held) {
  SetMessageSink([](std::string_view, MessageIcon) {});
  MaterialTextures textures(nullptr, folder);
  CMaterial m;
  m.texture = name;
  textures.Load(m);
  if (!TextureLoaded(m)) return false;
  held = static_cast<std::int64_t>(m.textureImage->PixelBytes());
  return true;
}

void Check(const Case& c, const ChildCost& cost, std::int64_t peakAllowed) {
  ASSERT_TRUE(cost.finished) << c.name << ": " << cost.failure;
  EXPECT_EQ(cost.result, c.read) << c.name;
  EXPECT_LE(cost.peak, peakAllowed) << c.name << " took " << cost.peak / kMiB << " MiB";
  std::printf("  %-46s %9zu B  %-7s peak %7.1f MiB  %7.1f ms\n", c.name, c.bytes.size(),
              cost.result ? "read" : "refused", static_cast<double>(cost.peak) / kMiB, cost.seconds * 1000);
}

class Hostile : public ::testing::Test {
 protected:
  std::string Folder() const { return dir_.path().string() + "/"; }
  std::string Write(const Case& c) {
    test::WriteBytes(dir_ / c.file, c.bytes);
    return c.file;
  }
  void RunTextures(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      const std::string name = Write(c);
      const std::string folder = Folder();
      const ChildCost cost = test::RunInChild([&](std::int64_t& held) { return LoadAsTexture(folder, name, held); },
                                              kAddressBudget, kTimeLimit);
      // A picture that is read may take its own size once, plus a quarter for the decoder.
      const std::int64_t allowed = c.read ? cost.held + cost.held / 4 + kRefusedPeak : kRefusedPeak;
      Check(c, cost, allowed);
    }
  }
  test::TempDir dir_;
};

Bytes Deflated(std::uint64_t rowBytes, std::uint64_t rows) { return test::DeflatedZeroRows(rowBytes, rows); }

TEST_F(Hostile, PngHeadersThatPromiseMoreThanTheFileHolds) {
  const Bytes oneRow = Deflated(3, 1);
  RunTextures({
      {"PNG 2147483647 x 1", "wide.png", test::PngFile(0x7FFFFFFF, 1, 8, 2, oneRow), false},
      {"PNG 400000000 x 1", "long.png", test::PngFile(400000000, 1, 8, 2, oneRow), false},
      {"PNG 1 x 2147483647", "tall.png", test::PngFile(1, 0x7FFFFFFF, 8, 2, oneRow), false},
      {"PNG 16384 x 16384 RGBA 16-bit, one row", "big.png", test::PngFile(16384, 16384, 16, 6, oneRow), false},
      {"PNG 9000 x 9000 within budget, one row", "short.png", test::PngFile(9000, 9000, 8, 2, Deflated(27000, 1)),
       false},
      {"PNG 9000 x 9000 palette 1-bit, 10 rows", "pal.png", test::PngFile(9000, 9000, 1, 0, Deflated(1125, 10)), false},
      {"PNG 4096 x 4096 cut inside its image data", "cut.png",
       [] {
         Bytes b = test::ZeroPng(4096, 4096);
         b.resize(b.size() * 2 / 3);
         return b;
       }(),
       false},
  });
}

// Every chunk type libpng reads besides the image (and one it does not know), each stating
// nearly 2 GB in a file of a few hundred bytes: before the image the file is refused, after it
// the picture is whole; neither may cost more than the file could hold.
TEST_F(Hostile, PngChunksLongerThanTheFile) {
  std::vector<Case> cases;
  static const char* const kTypes[] = {"bKGD", "cHRM", "eXIf", "gAMA", "hIST", "iCCP", "iTXt", "oFFs", "pCAL",
                                       "pHYs", "sBIT", "sCAL", "sPLT", "sRGB", "sTER", "tEXt", "tIME", "tRNS",
                                       "zTXt", "prIv", "IDAT"};
  static std::vector<std::string> names;
  names.clear();
  names.reserve(2 * std::size(kTypes));
  for (const char* type : kTypes) {
    for (const bool after : {false, true}) {
      if (after && std::string(type) == "IDAT") continue;
      names.push_back(std::string("PNG 32 x 32, ") + type + " of 0x7FFFFFF0 bytes " + (after ? "after" : "before") +
                      " the image");
      cases.push_back({names.back().c_str(), after ? "after.png" : "before.png",
                       test::PngWithLyingChunk(type, 0x7FFFFFF0u, after), after});
    }
  }
  RunTextures(cases);
}

TEST_F(Hostile, ALargeValidPngCostsItsSizeOnce) {
  // 8192 x 8192 of zeros: about 200 KB of file, 192 MiB of picture.
  RunTextures({{"PNG 8192 x 8192 zeros, valid", "zeros.png", test::ZeroPng(8192, 8192), true}});
}

TEST_F(Hostile, JpegFramesThatPromiseMoreThanTheScansHold) {
  const Bytes progressive = test::SmallJpeg(64, 64, true);
  const Bytes baseline = test::SmallJpeg(64, 64, false);
  Bytes cut = test::WithJpegSize(progressive, 9000, 9000);
  cut.resize(600);
  RunTextures({
      {"progressive JPEG 9000 x 9000 cut at 600 bytes", "p9000.jpg", cut, false},
      {"progressive JPEG 9000 x 9000 whole scans", "p9000w.jpg", test::WithJpegSize(progressive, 9000, 9000), false},
      {"progressive JPEG 8000 x 8000 whole scans", "p8000.jpg", test::WithJpegSize(progressive, 8000, 8000), false},
      {"baseline JPEG 9000 x 9000 whole scan", "b9000.jpg", test::WithJpegSize(baseline, 9000, 9000), false},
      {"baseline JPEG 65535 x 65535", "b65535.jpg", test::WithJpegSize(baseline, 65535, 65535), false},
      {"baseline JPEG 64 x 64 cut in its scan", "bcut.jpg", Bytes(baseline.begin(), baseline.end() - 200), false},
  });
}

TEST_F(Hostile, RunLengthPicturesWithoutTheDataToFillThem) {
  const Bytes endOfBitmap = {0, 1};
  RunTextures({
      {"BMP RLE8 16384 x 16384, no pixel data", "rle.bmp", test::BmpFile(16384, 16384, 8, 1, {}), false},
      {"BMP RLE8 16384 x 16384, end of bitmap", "rle2.bmp", test::BmpFile(16384, 16384, 8, 1, endOfBitmap), false},
      {"BMP RLE8 268435456 x 1", "rlewide.bmp", test::BmpFile(1 << 28, 1, 8, 1, endOfBitmap), false},
      {"BMP RLE8 8192 x 8192, one end of line", "rle3.bmp", test::BmpFile(8192, 8192, 8, 1, {0, 0, 0, 1}), false},
      {"BMP 24-bit 16384 x 16384, 4 bytes", "raw.bmp", test::BmpFile(16384, 16384, 24, 0, Bytes(4, 0)), false},
      {"BMP 1-bit 16384 x 16384 whole (too big as 24 bits)", "mono.bmp",
       test::BmpFile(16384, 16384, 1, 0, Bytes(16384ull * 16384 / 8, 0)), false},
      {"TGA RLE 65535 x 65535 32-bit, header only", "big.tga", test::TgaHeader(10, 65535, 65535, 32), false},
      {"TGA RLE 16384 x 4096 32-bit, one packet", "rle.tga",
       [] {
         Bytes b = test::TgaHeader(10, 16384, 4096, 32);
         b.insert(b.end(), {0xFF, 1, 2, 3, 4});
         return b;
       }(),
       false},
      {"TGA raw 65535 x 65535", "raw.tga", test::TgaHeader(2, 65535, 65535, 24), false},
      {"ILBM ByteRun1 65535 x 65535 24 planes", "big.iff", test::IlbmFile(65535, 65535, 24, 1, {0x81, 0}), false},
      {"ILBM ByteRun1 4096 x 4096 8 planes, one run", "run.iff", test::IlbmFile(4096, 4096, 8, 1, {0x81, 0}), false},
      {"ILBM raw 16384 x 2048 1 plane, 2 bytes", "raw.iff", test::IlbmFile(16384, 2048, 1, 0, {0, 0}), false},
  });
}

TEST_F(Hostile, CountsAtTheirMaximum) {
  Bytes colours = test::BmpFile(16, 16, 8, 0, Bytes(256, 0));
  for (int i = 0; i < 4; ++i) colours[46 + i] = 0xFF;  // colours used: 4294967295
  Bytes map = test::TgaHeader(1, 16, 16, 8);
  map[1] = 1;  // a colour map of 65535 entries of 32 bits
  map[5] = map[6] = 0xFF;
  map[7] = 32;
  map.resize(map.size() + 256, 0);
  Bytes id = test::TgaHeader(2, 1, 1, 24);
  id[0] = 255;  // the longest image ID, then nothing
  RunTextures({
      {"BMP colours used 4294967295", "colours.bmp", colours, false},
      {"TGA colour map of 65535 entries", "map.tga", map, false},
      {"TGA image ID of 255 bytes, file ends", "id.tga", id, false},
  });
}

TEST_F(Hostile, TextHeadersWithTheLargestSizes) {
  auto text = [](const char* s) { return Bytes(s, s + std::strlen(s)); };
  RunTextures({
      {"P6 16384 x 16384, header only", "big.ppm", text("P6\n16384 16384\n255\n"), false},
      {"P3 2147483647 x 2147483647", "huge.ppm", text("P3\n2147483647 2147483647\n255\n1 2 3\n"), false},
      {"P5 4294967295 x 1 (wraps to -1)", "wrap.pgm", text("P5\n4294967295 1\n255\n\x01"), false},
      {"P2 20000 x 1 over the side limit", "wide.pgm",
       [&] {
         Bytes b = text("P2\n20000 1\n255\n");
         for (int i = 0; i < 20000; ++i) b.insert(b.end(), {'1', ' '});
         return b;
       }(),
       false},
  });
}

// The Metasequoia reader: material lines of one word each are the cheapest way to make it build
// records, and counts announced at their maximum must not size anything on their own.
TEST_F(Hostile, MqoCountsAndMaterialLinesStayNearTheSceneTheyBuild) {
  struct MqoCase {
    const char* name;
    std::string text;
  };
  std::string vertices = "Metasequoia Document\nFormat Text Ver 1.0\nObject \"o\" {\nvertex 2147483647 {\n0 0 0\n}\n";
  vertices += "face 2147483647 {\n3 V(0 0 0)\n}\n}\nEof\n";
  const MqoCase cases[] = {
      {"524288 one-word material lines, honest count", test::MqoMaterialLines(524288, 524288)},
      {"524288 one-word material lines, count 1", test::MqoMaterialLines(524288, 1)},
      {"material count 2147483647, one line", test::MqoMaterialLines(1, 2147483647)},
      {"vertex and face counts 2147483647", vertices},
  };
  for (const MqoCase& c : cases) {
    const auto path = dir_ / "doc.mqo";
    test::WriteBytes(path, Bytes(c.text.begin(), c.text.end()));
    const ChildCost cost = test::RunInChild(
        [&](std::int64_t& held) {
          CMeshwright scene;
          scene.ResetScene();
          const std::size_t before = scene.materials.size();
          ImportMetasequoia(scene, path.string());
          // The scene's vertex and face lists. Material records are not counted as built: a
          // line of two bytes must not buy a record of three hundred.
          (void)before;
          held = 0;
          for (const CModel& m : scene.models)
            held += static_cast<std::int64_t>(m.vertices.size() * sizeof(CVertex) + m.faces.size() * sizeof(CFace));
          return true;
        },
        kAddressBudget, kTimeLimit);
    ASSERT_TRUE(cost.finished) << c.name << ": " << cost.failure;
    // Beyond the scene, a reader holds at most a few bytes per byte of file.
    // A list that grows keeps its old block until the new one is filled (and a sanitized build
    // keeps it longer, in quarantine).
    const std::int64_t growth = test::kSanitized ? cost.held * 3 / 2 : cost.held / 4;
    const std::int64_t allowed = cost.held + growth + 4 * static_cast<std::int64_t>(c.text.size()) + kRefusedPeak;
    EXPECT_LE(cost.peak, allowed) << c.name << ": " << cost.peak / kMiB << " MiB for " << c.text.size() << " bytes";
    std::printf("  %-46s %9zu B  scene %7.1f MiB  peak %7.1f MiB  %6.1f B/B beyond the scene  %7.1f ms\n", c.name,
                c.text.size(), static_cast<double>(cost.held) / kMiB, static_cast<double>(cost.peak) / kMiB,
                static_cast<double>(cost.peak - cost.held) / static_cast<double>(c.text.size()), cost.seconds * 1000);
  }
}

// Compressed documents: what an archive may cost is bounded by its own size. One that expands a
// thousandfold is refused before anything is extracted; a sound one costs what its document does.
TEST_F(Hostile, MqozArchivesThatExpandFarBeyondTheirSize) {
  std::vector<std::size_t> textBytes;
  auto archive = [this, &textBytes](const std::string& name, const std::string& text) {
    textBytes.push_back(text.size());
    const auto path = dir_ / name;
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_TRUE(zip);
    zip_source_t* source = zip_source_buffer(zip, text.data(), text.size(), 0);
    const zip_int64_t index = zip_file_add(zip, "doc.mqo", source, 0);
    zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9);
    EXPECT_EQ(zip_close(zip), 0);
    return path;
  };
  auto document = [](std::size_t vertices, bool varied) {
    std::string text = "Metasequoia Document\r\nFormat Text Ver 1.0\r\n\r\nObject \"o\" {\r\n\tvertex " +
                       std::to_string(vertices) + " {\r\n";
    char line[64];
    for (std::size_t i = 0; i < vertices; ++i) {
      if (varied) std::snprintf(line, sizeof line, "\t\t%.4f %.4f %.4f\r\n", i * 0.37, i * 1.13, i * 0.071);
      else std::snprintf(line, sizeof line, "\t\t0.0000 0.0000 0.0000\r\n");
      text += line;
    }
    text += "\t}\r\n\tface 1 {\r\n\t\t3 V(0 1 2)\r\n\t}\r\n}\r\nEof\r\n";
    return text;
  };
  struct ArchiveCase {
    const char* name;
    std::filesystem::path path;
    bool read;
  };
  const ArchiveCase cases[] = {
      {"mqoz of 2.5 M identical vertex lines (bomb)", archive("bomb.mqoz", document(2'500'000, false)), false},
      {"mqoz of 200000 varied vertex lines", archive("sound.mqoz", document(200'000, true)), true},
  };
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    const ArchiveCase& c = cases[k];
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(c.path));
    const auto text = static_cast<std::int64_t>(textBytes[k]);
    const ChildCost cost = test::RunInChild(
        [&](std::int64_t& held) {
          CMeshwright scene;
          scene.ResetScene();
          MqoReadInfo info;
          const bool ok = ImportCompressedMetasequoia(scene, c.path.string(), &info);
          held = 0;
          for (const CModel& m : scene.models)
            held += static_cast<std::int64_t>(m.vertices.capacity() * sizeof(CVertex) + m.faces.capacity() * sizeof(CFace));
          return ok;
        },
        kAddressBudget, kTimeLimit);
    ASSERT_TRUE(cost.finished) << c.name << ": " << cost.failure;
    EXPECT_EQ(cost.result, c.read) << c.name;
    // Beyond the scene, the reader's few bytes per byte of the document it extracted; for a bomb,
    // nothing of what it would have become.
    const std::int64_t allowed = c.read ? cost.held + cost.held / 4 + 4 * text + kRefusedPeak : kRefusedPeak;
    EXPECT_LE(cost.peak, allowed) << c.name << ": " << cost.peak / kMiB << " MiB";
    std::printf("  %-46s %9lld B  %-7s peak %7.1f MiB  scene %7.1f MiB  %6.1f B/B beyond the scene  %7.1f ms\n", c.name,
                static_cast<long long>(size), cost.result ? "read" : "refused", static_cast<double>(cost.peak) / kMiB,
                static_cast<double>(cost.held) / kMiB, static_cast<double>(cost.peak - cost.held) / static_cast<double>(size),
                cost.seconds * 1000);
  }
}

// A clipboard fragment is held once besides what it adds: 8 MB of the cheapest records (faces of
// no corners) decoded and pasted as the paste command does.
TEST_F(Hostile, AClipboardFragmentCostsLittleBeyondWhatItAdds) {
  SceneFragment hostile;
  hostile.model.faces.resize(8'000'000 / 24);
  const std::vector<std::uint8_t> payload = EncodeFragment(hostile);
  hostile = SceneFragment();
  const ChildCost cost = test::RunInChild(
      [&](std::int64_t& held) {
        CMeshwright scene;
        scene.ResetScene();
        scene.currentModel = 0;
        SceneFragment fragment;
        if (!DecodeFragment(payload.data(), payload.size(), fragment).ok()) return false;
        const bool pasted = PasteFragment(scene, std::move(fragment));
        const CModel& m = scene.models[0];
        held = static_cast<std::int64_t>(m.vertices.capacity() * sizeof(CVertex) + m.faces.capacity() * sizeof(CFace));
        return pasted;
      },
      kAddressBudget, kTimeLimit);
  ASSERT_TRUE(cost.finished) << cost.failure;
  EXPECT_TRUE(cost.result);
  const auto size = static_cast<std::int64_t>(payload.size());
  EXPECT_LE(cost.peak, cost.held + cost.held / 4 + 4 * size + kRefusedPeak)
      << cost.peak / kMiB << " MiB for " << size / kMiB << " MiB of fragment adding " << cost.held / kMiB << " MiB";
  std::printf("  %-46s %9lld B  %-7s peak %7.1f MiB  scene %7.1f MiB  %6.1f B/B beyond the scene  %7.1f ms\n",
              "fragment of 333333 faces without corners", static_cast<long long>(size), "read",
              static_cast<double>(cost.peak) / kMiB, static_cast<double>(cost.held) / kMiB,
              static_cast<double>(cost.peak - cost.held) / static_cast<double>(size), cost.seconds * 1000);
}

// Inputs that once cost a reader seconds and gigabytes, kept for the fuzz harnesses: each is read
// here the way its harness reads it, under the same limits as the cases above.
TEST(FuzzRegressions, ImageInputsAreReadWithinTheLimits) {
  int files = 0;
  for (const std::string harness : {"fuzz_bmp", "fuzz_tga", "fuzz_ppm", "fuzz_iff", "fuzz_png", "fuzz_jpg"}) {
    const std::filesystem::path folder = std::filesystem::path(MW_FUZZ_REGRESSIONS) / harness;
    if (!std::filesystem::is_directory(folder)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.') continue;
      const std::string path = entry.path().string();
      const ChildCost cost = test::RunInChild(
          [&](std::int64_t& held) {
            DibStream image;
            std::FILE* f = std::fopen(path.c_str(), "rb");
            if (!f) return false;
            bool ok = false;
            if (harness == "fuzz_bmp") ok = image.LoadBmp(f, kAllDepths);
            else if (harness == "fuzz_tga") ok = LoadTga(f, image);
            else if (harness == "fuzz_ppm") ok = LoadPpm(f, image);
            else if (harness == "fuzz_iff") ok = LoadIff(f, image);
            std::fclose(f);
            if (harness == "fuzz_png") ok = LoadPng(path.c_str(), image);
            if (harness == "fuzz_jpg") ok = LoadJpg(path.c_str(), image);
            if (!image.IsEmpty()) {
              image.ConvertTo(24);
              image.Resample(16, 16);
            }
            held = image.IsEmpty() ? 0 : static_cast<std::int64_t>(image.PixelBytes());
            return ok;
          },
          kAddressBudget, kTimeLimit);
      ASSERT_TRUE(cost.finished) << path << ": " << cost.failure;
      EXPECT_LE(cost.peak, cost.held + kRefusedPeak) << path;
      ++files;
    }
  }
  EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace mw

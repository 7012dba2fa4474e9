// Decoding 2048 x 2048 images of each format our own readers handle, beside stb_image decoding
// the same file where it reads the format, and the resize the material preview does.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_PNM
#include <stb/stb_image.h>

#include "image/image_readers.h"

namespace {

constexpr int kSide = 2048;
using Bytes = std::vector<std::uint8_t>;

// A picture with flat runs and gradients, so that run-length formats have something to do.
std::uint8_t Sample(int x, int y, int c) {
  if ((x / 64 + y / 64) % 3 == 0) return static_cast<std::uint8_t>(40 * c + 17);
  return static_cast<std::uint8_t>((x * (c + 1) + y * (3 - c)) >> 3);
}

void Le16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Le32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Be16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v >> 8));
  b.push_back(static_cast<std::uint8_t>(v));
}
void Be32(Bytes& b, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

Bytes BmpFile(int bits, bool rle) {
  Bytes pixels;
  for (int y = kSide - 1; y >= 0; --y) {  // bottom row first
    if (bits == 24) {
      for (int x = 0; x < kSide; ++x)
        for (int c = 0; c < 3; ++c) pixels.push_back(Sample(x, y, c));
      static_assert(kSide * 3 % 4 == 0, "rows need no padding at this width");
    } else if (!rle) {
      for (int x = 0; x < kSide; ++x) pixels.push_back(Sample(x, y, 0));
    } else {
      for (int x = 0; x < kSide;) {
        const std::uint8_t v = Sample(x, y, 0);
        int n = 1;
        while (x + n < kSide && n < 255 && Sample(x + n, y, 0) == v) ++n;
        pixels.push_back(static_cast<std::uint8_t>(n));
        pixels.push_back(v);
        x += n;
      }
      pixels.push_back(0);
      pixels.push_back(0);
    }
  }
  if (rle) {
    pixels.push_back(0);
    pixels.push_back(1);
  }
  const std::uint32_t table = bits == 8 ? 1024 : 0;
  Bytes b = {'B', 'M'};
  Le32(b, 54 + table + static_cast<std::uint32_t>(pixels.size()));
  Le32(b, 0);
  Le32(b, 54 + table);
  Le32(b, 40);
  Le32(b, kSide);
  Le32(b, kSide);
  Le16(b, 1);
  Le16(b, static_cast<unsigned>(bits));
  Le32(b, rle ? 1 : 0);
  Le32(b, rle ? static_cast<std::uint32_t>(pixels.size()) : 0);
  Le32(b, 0);
  Le32(b, 0);
  Le32(b, bits == 8 ? 256 : 0);
  Le32(b, 0);
  for (std::uint32_t i = 0; i < table / 4; ++i)
    b.insert(b.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), 0});
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

Bytes TgaFile(bool rle) {
  Bytes b = {0, 0, static_cast<std::uint8_t>(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Le16(b, kSide);
  Le16(b, kSide);
  b.push_back(24);
  b.push_back(0);
  for (int y = kSide - 1; y >= 0; --y) {
    for (int x = 0; x < kSide;) {
      if (!rle) {
        for (int c = 0; c < 3; ++c) b.push_back(Sample(x, y, c));
        ++x;
        continue;
      }
      int n = 1;
      while (x + n < kSide && n < 128 && Sample(x + n, y, 0) == Sample(x, y, 0) &&
             Sample(x + n, y, 1) == Sample(x, y, 1) && Sample(x + n, y, 2) == Sample(x, y, 2))
        ++n;
      if (n > 1) {
        b.push_back(static_cast<std::uint8_t>(0x80 | (n - 1)));
        for (int c = 0; c < 3; ++c) b.push_back(Sample(x, y, c));
        x += n;
      } else {
        b.push_back(0);
        for (int c = 0; c < 3; ++c) b.push_back(Sample(x, y, c));
        ++x;
      }
    }
  }
  return b;
}

Bytes PpmFile() {
  const char* head = "P6\n2048 2048\n255\n";
  Bytes b(head, head + std::strlen(head));
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x)
      for (int c = 2; c >= 0; --c) b.push_back(Sample(x, y, c));
  return b;
}

Bytes IffFile() {
  const int planes = 8, rowBytes = kSide / 8;
  Bytes body;
  std::vector<std::uint8_t> plane(static_cast<std::size_t>(rowBytes));
  for (int y = 0; y < kSide; ++y) {
    for (int p = 0; p < planes; ++p) {
      std::fill(plane.begin(), plane.end(), 0);
      for (int x = 0; x < kSide; ++x)
        if ((Sample(x, y, 0) >> p) & 1)
          plane[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
      for (int i = 0; i < rowBytes;) {  // ByteRun1: runs where they pay, literals elsewhere
        int n = 1;
        while (i + n < rowBytes && n < 128 &&
               plane[static_cast<std::size_t>(i + n)] == plane[static_cast<std::size_t>(i)])
          ++n;
        if (n >= 3) {
          body.push_back(static_cast<std::uint8_t>(257 - n));
          body.push_back(plane[static_cast<std::size_t>(i)]);
          i += n;
        } else {
          int m = 1;
          while (i + m < rowBytes && m < 128) ++m;
          body.push_back(static_cast<std::uint8_t>(m - 1));
          body.insert(body.end(), plane.begin() + i, plane.begin() + i + m);
          i += m;
        }
      }
    }
  }
  Bytes form = {'I', 'L', 'B', 'M', 'B', 'M', 'H', 'D'};
  Be32(form, 20);
  Be16(form, kSide);
  Be16(form, kSide);
  Be32(form, 0);
  form.insert(form.end(), {static_cast<std::uint8_t>(planes), 0, 1, 0});
  Be16(form, 0);
  form.insert(form.end(), {1, 1});
  Be16(form, kSide);
  Be16(form, kSide);
  form.insert(form.end(), {'B', 'O', 'D', 'Y'});
  Be32(form, static_cast<std::uint32_t>(body.size()));
  form.insert(form.end(), body.begin(), body.end());
  if (body.size() & 1) form.push_back(0);
  Bytes file = {'F', 'O', 'R', 'M'};
  Be32(file, static_cast<std::uint32_t>(form.size()));
  file.insert(file.end(), form.begin(), form.end());
  return file;
}

struct Sample_ {
  const char* name;
  std::string path;
};

std::string Write(const char* name, const Bytes& bytes) {
  std::string path = "/tmp/mw-bench-" + std::to_string(getpid()) + "-" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path;
}

std::vector<std::string>& Paths() {
  static std::vector<std::string> paths;
  return paths;
}

enum File { kBmp24, kBmp8Rle, kTgaRaw, kTgaRle, kPpm, kIff };

void BM_Ours(benchmark::State& state) {
  const std::string& path = Paths()[static_cast<std::size_t>(state.range(0))];
  for (auto _ : state) {
    mw::DibStream image;
    if (!mw::LoadTextureImage(path, image)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(image.Pixels());
  }
}

void BM_Stb(benchmark::State& state) {
  const std::string& path = Paths()[static_cast<std::size_t>(state.range(0))];
  for (auto _ : state) {
    int w, h, c;
    unsigned char* data = stbi_load(path.c_str(), &w, &h, &c, 0);
    if (!data) state.SkipWithError(stbi_failure_reason());
    stbi_image_free(data);
  }
}

void BM_Resample(benchmark::State& state) {
  mw::DibStream source;
  mw::LoadTextureImage(Paths()[kBmp24], source);
  for (auto _ : state) {
    state.PauseTiming();
    mw::DibStream image;
    image.Create(source.Width(), source.SignedHeight(), 24);
    std::memcpy(image.Pixels(), source.Pixels(), source.PixelBytes());
    state.ResumeTiming();
    image.Resample(256, 256);
    benchmark::DoNotOptimize(image.Pixels());
  }
}

const char* kNames[] = {"bmp24", "bmp8rle", "tga", "tgarle", "ppm", "iff"};

}  // namespace

int main(int argc, char** argv) {
  Paths() = {Write("a.bmp", BmpFile(24, false)), Write("b.bmp", BmpFile(8, true)), Write("a.tga", TgaFile(false)),
             Write("b.tga", TgaFile(true)),      Write("a.ppm", PpmFile()),        Write("a.iff", IffFile())};
  for (int i = 0; i < 6; ++i) {
    benchmark::RegisterBenchmark((std::string("Ours/") + kNames[i]).c_str(), BM_Ours)
        ->Arg(i)
        ->Unit(benchmark::kMillisecond);
    if (i != kIff && i != kBmp8Rle)
      benchmark::RegisterBenchmark((std::string("Stb/") + kNames[i]).c_str(), BM_Stb)
          ->Arg(i)
          ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("Resample/2048to256", BM_Resample)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const std::string& p : Paths()) std::remove(p.c_str());
  return 0;
}

// Every image in the shared test data through the reader of its folder: good files decoded as
// the reference decoders see them (or refused where our formats stop), broken ones refused or
// decoded as far as they go, none crashing.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "image/image_readers.h"
#include "tests/support/reference_decoder.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

std::map<std::string, std::string> Statuses() {
  std::map<std::string, std::string> out;
  std::ifstream in(test::TestData("INDEX.tsv"));
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string file, status;
    std::getline(fields, file, '\t');
    std::getline(fields, status, '\t');
    out[file] = status;
  }
  return out;
}

// Good files that our readers refuse by design: bitmap headers other than the 40-byte one and
// bit-field or RLE4 compression; Targa grey run-length (type 11), 16-bit grey, 15-bit pixels and
// colour maps that are not 24-bit; PNM files whose magic is not alone on its line, that end lines
// with CR LF, bitmap PBM, or binary files with two bytes per sample; 12-bit JPEG, which the system's libjpeg-turbo does
// not decode; an ILBM that is a PBM form.
const std::set<std::string> kRefusedByDesign = {
    "tga/pillow/la.tga", "tga/tombexcavator/rgb16rle.tga", "tga/tombexcavator/rgb15rle.tga",
    "tga/truevision-conformance/cbw8.tga", "tga/truevision-conformance/ucm8.tga", "tga/pillow-common/1x1_l_bl_rle.tga",
    "tga/pillow-common/1x1_l_tl_rle.tga", "tga/pillow-common/200x32_la_bl_raw.tga",
    "tga/pillow-common/200x32_la_tl_rle.tga", "tga/pillow-common/200x32_la_tl_raw.tga",
    "tga/ftrvxmtrx/monochrome8_bottom_left_rle.tga", "tga/ftrvxmtrx/rgb32_top_left_rle_colormap.tga",
    "tga/ftrvxmtrx/monochrome16_top_left_rle.tga", "tga/ftrvxmtrx/monochrome16_top_left.tga",
    "tga/image-rs/b5-cmap.tga", "iff/serenity/serenity.lbm", "bmp/pillow/hopper.bmp",
    "bmp/pillow/hopper_rle8_grayscale.bmp", "bmp/bmpsuite/g/pal8os2.bmp", "bmp/bmpsuite/g/rgb16-565.bmp",
    "bmp/bmpsuite/g/rgb32bf.bmp", "bmp/bmpsuite/g/rgb24calibr.bmp", "bmp/bmpsuite/g/rgb32bfdef.bmp",
    "bmp/bmpsuite/g/rgb16-565pal.bmp", "bmp/bmpsuite/g/pal4rle.bmp", "bmp/bmpsuite/g/pal8v4.bmp",
    "bmp/bmpsuite/g/rgb16bfdef.bmp", "bmp/image-rs/V5_A1_R5_G5_B5.bmp", "bmp/image-rs/V4_R5_G6_B5.bmp",
    "bmp/image-rs/V3_X4_R4_G4_B4.bmp", "bmp/image-rs/imagemagick_invalid_run_length_issue_2321.bmp",
    "bmp/image-rs/V3_X8_R8_G8_B8.bmp", "bmp/image-rs/V4_A8_R8_G8_B8.bmp", "bmp/image-rs/V3_R5_G6_B5.bmp",
    "bmp/image-rs/Core_4_Bit.bmp", "bmp/image-rs/V3_A4_R4_G4_B4.bmp", "bmp/image-rs/V3_X8_R8_G8_B8_Top_Down.bmp",
    "bmp/image-rs/V5_A8_R8_G8_B8_Rgb.bmp", "jpg/serenity/12-bit.jpg", "pnm/pillow/hopper_1bit_plain.pbm",
    "pnm/ppmdecodersharp/P5-65535-chart.pgm", "pnm/ppmdecodersharp/P6-255-pbmlib.ppm",
    "pnm/ppmdecodersharp/P4-comment-feep.pbm", "pnm/ppmdecodersharp/P6-65535-chart-red.ppm",
    "pnm/ppmdecodersharp/P5-15-feep_crlf.pgm", "pnm/ppmdecodersharp/P1-comment-feep.ascii.pbm", "pnm/image-rs/l8a.pgm",
    "pnm/image-rs/l16b.pnm",
    // Binary PNM with two bytes per sample.
    "pnm/pillow/16_bit_binary.pgm", "pnm/pillow/hopper_16bit.pgm", "pnm/image-rs/r16b.ppm",
    "pnm/libjpeg-turbo/monkey16.pgm"};

// Broken bitmaps whose headers would make a careless reader allocate, overrun or misread.
const std::set<std::string> kMustRefuse = {
    "bmp/bmpsuite/b/badbitcount.bmp",        "bmp/bmpsuite/b/badheadersize.bmp", "bmp/bmpsuite/b/badpalettesize.bmp",
    "bmp/bmpsuite/b/badplanes.bmp",          "bmp/bmpsuite/b/badrle.bmp",        "bmp/bmpsuite/b/badrle4.bmp",
    "bmp/bmpsuite/b/badrle4bis.bmp",         "bmp/bmpsuite/b/badrlebis.bmp",     "bmp/bmpsuite/b/badrleter.bmp",
    "bmp/bmpsuite/b/badwidth.bmp",           "bmp/bmpsuite/b/nopalette.bmp",     "bmp/bmpsuite/b/reallybig.bmp",
    "bmp/bmpsuite/b/rgb16-880.bmp",          "bmp/bmpsuite/b/rgb24bf.bmp",       "bmp/bmpsuite/b/shortfile.bmp",
    "bmp/image-rs/lenient_rle_overflow.bmp", "bmp/pillow/l2rgb_read.bmp"};

bool ReadWithFolderReader(const std::string& folder, const std::string& path, DibStream& image) {
  if (folder == "bmp") return image.LoadBmp(path.c_str(), kAllDepths);
  if (folder == "tga") return LoadTga(path.c_str(), image);
  if (folder == "pnm") return LoadPpm(path.c_str(), image);
  if (folder == "iff") return LoadIff(path.c_str(), image);
  if (folder == "png") return LoadPng(path.c_str(), image);
  return LoadJpg(path.c_str(), image);
}

// Largest difference in red, green or blue between our image (as 24 bits) and the reference.
int LargestDifference(DibStream& ours, const test::ReferenceImage& ref) {
  int worst = 0;
  for (int y = 0; y < ref.height; ++y) {
    const std::uint8_t* row = ours.Row(y);
    for (int x = 0; x < ref.width; ++x) {
      const std::uint8_t* r = ref.rgba.data() + (static_cast<std::size_t>(y) * ref.width + x) * 4;
      for (int c = 0; c < 3; ++c) {
        const int d = std::abs(row[3 * x + 2 - c] - r[c]);
        if (d > worst) worst = d;
      }
    }
  }
  return worst;
}

class ImageTestData : public ::testing::TestWithParam<std::string> {};

TEST_P(ImageTestData, EveryFileGoesThroughItsReader) {
  MW_REQUIRE_TESTDATA();
  const std::string folder = GetParam();
  const auto statuses = Statuses();
  int decoded = 0, compared = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(test::TestData(folder))) {
    if (!entry.is_regular_file()) continue;
    const std::string path = entry.path().string();
    const std::string rel = std::filesystem::relative(entry.path(), test::TestData("")).string();
    const auto it = statuses.find(rel);
    const std::string status = it == statuses.end() ? "" : it->second;
    DibStream image;
    const bool ok = ReadWithFolderReader(folder, path, image);
    if (status == "good" && !kRefusedByDesign.count(rel)) {
      EXPECT_TRUE(ok) << rel;
    }
    if (status == "good" && kRefusedByDesign.count(rel)) {
      EXPECT_FALSE(ok) << rel << " now decodes: take it off the refused list";
    }
    if (kMustRefuse.count(rel)) {
      EXPECT_FALSE(ok) << rel;
      EXPECT_TRUE(image.IsEmpty()) << rel;
    }
    if (!ok || image.IsEmpty()) continue;
    ++decoded;
    const int bits = image.BitCount();
    ASSERT_TRUE(image.ConvertTo(24)) << rel;
    if (status != "good") continue;
    test::ReferenceImage ref;
    const bool haveReference = folder == "jpg" ? test::LibjpegDecode(path, ref) : test::StbDecode(path, ref);
    if (!haveReference) continue;
    ASSERT_EQ(image.Width(), ref.width) << rel;
    ASSERT_EQ(image.Height(), ref.height) << rel;
    // Five-bit channels: we shift left by three, the reference scales to 255.
    const int tolerance = bits == 16 ? 7 : 0;
    // CMYK is converted by our plugin, not by the library.
    if (rel.find("cmyk") != std::string::npos || rel.find("ycck") != std::string::npos) continue;
    EXPECT_LE(LargestDifference(image, ref), tolerance) << rel;
    ++compared;
  }
  std::printf("%s: %d decoded, %d compared with a reference decoder\n", folder.c_str(), decoded, compared);
  EXPECT_GT(decoded, 0);
  if (folder != "iff") {
    EXPECT_GT(compared, 0);  // no reference decoder reads ILBM
  }
}

INSTANTIATE_TEST_SUITE_P(Folders, ImageTestData, ::testing::Values("bmp", "tga", "pnm", "iff", "png", "jpg"));

TEST(ImageTestData, EveryPrefixOfSmallFilesIsSafe) {
  MW_REQUIRE_TESTDATA();
  for (const char* folder : {"bmp", "tga", "pnm", "iff", "png", "jpg"}) {
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(test::TestData(folder))) {
      if (!entry.is_regular_file() || entry.file_size() > 6000 || ++files > 12) continue;
      const auto bytes = test::ReadBytes(entry.path());
      test::TempDir dir;
      const auto cut = dir / "cut";
      for (std::size_t n = 0; n < bytes.size(); n += 1 + bytes.size() / 200) {
        test::WriteBytes(cut, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
        DibStream image;
        ReadWithFolderReader(folder, cut.string(), image);
        if (!image.IsEmpty()) {
          EXPECT_TRUE(image.ConvertTo(24)) << entry.path();
        }
      }
    }
  }
}

}  // namespace
}  // namespace mw

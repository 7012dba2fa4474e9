// The streaming exporter against the exporter it replaced, which built the whole document in one
// string with the standard library's formatting. The old one is kept here, verbatim, as the
// reference: every byte the new one writes must be the same, for real documents and for scenes
// made to hit the corners (every float class, long names across the buffer, odd faces).
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "io/loader_mqo.h"
#include "tests/support/test_support.h"

namespace mw {
namespace {

class ReferenceBuilder {
 public:
  std::string out;

  ReferenceBuilder& operator<<(const char* s) {
    out += s;
    return *this;
  }
  ReferenceBuilder& operator<<(const std::string& s) {
    out += s;
    return *this;
  }
  ReferenceBuilder& Int(long long v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
    return *this;
  }
  std::size_t nonFinite = 0;

  // printf("%f"): six decimals. A value without digits (nan, inf), which no reader accepts, is
  // written as 0 and counted.
  ReferenceBuilder& Float(float f) {
    double v = f;
    if (!std::isfinite(v)) {
      ++nonFinite;
      v = 0.0;
    }
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    out.append(buf, r.ptr);
    return *this;
  }
  // The shortest text that reads back as the same float ("89.5", "30", "0").
  ReferenceBuilder& Short(float f) {
    if (!std::isfinite(f)) {
      ++nonFinite;
      f = 0.0f;
    }
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, f);
    out.append(buf, r.ptr);
    return *this;
  }
};

bool Written(const CFace& f) { return f.indices.size() >= 2; }

std::string ReferenceText(const CMeshwright& scene, MqoWriteInfo* info) {
  MqoWriteInfo written;
  for (const CModel& model : scene.models)
    for (const CFace& f : model.faces) {
      if (!Written(f)) ++written.droppedFaces;
      else if (f.indices.size() > 4) written.version = 11;
    }
  ReferenceBuilder t;
  t << "Metasequoia Document"
    << "\r\n";
  // Names are CP932; version 1.1 says so, so that no reader takes them for UTF-8.
  if (written.version == 11) t << "Format Text Ver 1.1\r\nCodePage 932\r\n\r\n";
  else
    t << "Format Text Ver 1.0"
      << "\r\n"
      << "\r\n";
  t << "Scene {\r\n";
  for (const char* line : {"pos 0.0000 0.0000 1500.0000", "lookat 0.0000 0.0000 0.0000", "head -0.3800", "pich 0.2300",
                           "ortho 0", "zoom2 5.0000", "amb 0.250 0.250 0.250"})
    t << "\t" << line << "\r\n";
  t << "}\r\n";

  t << "Material ";
  t.Int(static_cast<long long>(scene.materials.size())) << " {\r\n";
  for (const CMaterial& m : scene.materials) {
    t << "\t\"" << m.name << "\" shader(3) col(";
    t.Float(m.color[0]) << " ";
    t.Float(m.color[1]) << " ";
    t.Float(m.color[2]) << " ";
    t.Float(m.color[3]) << ") dif(";
    t.Float(m.diffuse) << ") amb(";
    t.Float(m.ambient) << ") emi(";
    t.Float(m.emissive) << ") spc(";
    t.Float(m.specular) << ") power(";
    t.Float(m.power) << ")";
    if (!m.texture.empty()) t << " tex(\"" << m.texture << "\")";
    t << "\r\n";
  }
  t << "}\r\n";

  for (const CModel& model : scene.models) {
    t << "Object \"" << model.name << "\" {\r\n";
    t << (model.state == kStateHidden ? "\tvisible 0\r\n" : "\tvisible 15\r\n");
    t << (model.state == kStateLocked ? "\tlocking 1\r\n" : "\tlocking 0\r\n");
    t << (scene.smoothing ? "\tshading 1\r\n" : "\tshading 0\r\n");
    t << "\tfacet ";
    if (model.facet == 0.0f) t << "89.5";
    else t.Short(model.facet);
    t << "\r\n";
    t << "\tcolor 0.898 0.498 0.698\r\n\tcolor_type 0\r\n";
    t << "\tvertex ";
    t.Int(static_cast<long long>(model.vertices.size())) << " {\r\n";
    for (const CVertex& v : model.vertices) {
      t << "\t\t";
      t.Float(v.position.x) << " ";
      t.Float(v.position.y) << " ";
      t.Float(v.position.z) << "\r\n";
    }
    t << "\t}\r\n\tface ";
    t.Int(static_cast<long long>(std::count_if(model.faces.begin(), model.faces.end(), Written))) << " {\r\n";
    for (const CFace& f : model.faces) {
      const std::size_t corners = f.indices.size();
      if (!Written(f)) continue;
      t << "\t\t";
      t.Int(static_cast<long long>(corners)) << " V(";
      for (std::size_t k = 0; k < corners; ++k) {
        if (k) t << " ";
        t.Int(f.indices[k]);
      }
      t << ") M(";
      t.Int(f.material) << ")";
      // UVs only for faces of three corners or more with one per corner; a face whose list is
      // shorter than its corners (never made by the program) writes none rather than reading past it.
      if (corners >= 3 && !f.uvs.empty() && f.uvs.size() >= corners) {
        t << " UV(";
        for (std::size_t k = 0; k < corners; ++k) {
          if (k) t << " ";
          t.Float(f.uvs[k].u) << " ";
          t.Float(f.uvs[k].v);
        }
        t << ")";
      }
      t << "\r\n";
    }
    t << "\t}\r\n}\r\n";
  }
  t << "Eof\r\n";
  char text[256];
  if (written.droppedFaces) {
    std::snprintf(text, sizeof text, "頂点が 1 つ以下の面 %zu 個は Metasequoia 形式で表せないため書き出していません。",
                  written.droppedFaces);
    written.warnings.emplace_back(text);
  }
  if (t.nonFinite) {
    std::snprintf(text, sizeof text, "数値でない値 (nan, inf など) %zu 個を 0 として書き出しました。", t.nonFinite);
    written.warnings.emplace_back(text);
  }
  if (info) *info = std::move(written);
  return std::move(t.out);
}


// Writes through the real file path (atomic writer, buffer flushes) and compares with the reference.
void ExpectSameAsReference(const CMeshwright& s, const std::string& what) {
  MqoWriteInfo referenceInfo, info;
  const std::string reference = ReferenceText(s, &referenceInfo);
  test::TempDir dir;
  std::string error;
  ASSERT_TRUE(ExportMetasequoia(s, (dir / "out.mqo").string(), &error, &info)) << what << ": " << error;
  const auto bytes = test::ReadBytes(dir / "out.mqo");
  const std::string written(bytes.begin(), bytes.end());
  ASSERT_EQ(written.size(), reference.size()) << what;
  const auto diff = std::mismatch(written.begin(), written.end(), reference.begin());
  EXPECT_TRUE(diff.first == written.end())
      << what << ": first difference at byte " << (diff.first - written.begin()) << ": \""
      << written.substr(static_cast<std::size_t>(std::max<long>(0, diff.first - written.begin() - 40)), 80) << "\"";
  EXPECT_EQ(MetasequoiaText(s), reference) << what;
  EXPECT_EQ(info.version, referenceInfo.version) << what;
  EXPECT_EQ(info.droppedFaces, referenceInfo.droppedFaces) << what;
  EXPECT_EQ(info.warnings, referenceInfo.warnings) << what;
}

TEST(MqoStreamExport, EveryTestDocumentWritesTheSameBytesAsBefore) {
  MW_REQUIRE_TESTDATA();
  int documents = 0;
  for (const auto& entry : std::filesystem::directory_iterator(test::TestData("mqo"))) {
    if (entry.path().extension() != ".mqo") continue;
    CMeshwright s;
    s.ResetScene();
    s.models.clear();
    ImportMetasequoia(s, entry.path().string());
    ExpectSameAsReference(s, entry.path().filename().string());
    ++documents;
  }
  EXPECT_GE(documents, 30);
}

float FromBits(std::uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

// Numbers of every kind in every field the exporter formats, faces of every corner count, and
// names longer than the exporter's buffer, so that blocks break inside names and lines.
CMeshwright AwkwardScene(std::uint32_t seed, std::size_t vertices) {
  std::mt19937 random(seed);
  const float special[] = {0.0f, -0.0f, 1.0f / 128, -3.0f / 128, 0.5f, 1e-7f, -4e-7f, 5e-7f, 1e20f, -3.4e38f,
                           FromBits(1), FromBits(0x80000001), FromBits(0x007FFFFF),
                           std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN(), 8.796093e12f, 999999.5f, 37.0f};
  auto number = [&]() -> float {
    switch (random() % 4) {
      case 0: return special[random() % std::size(special)];
      case 1: return FromBits(static_cast<std::uint32_t>(random()));
      case 2: return std::uniform_real_distribution<float>(-5000.0f, 5000.0f)(random);
      default: return static_cast<float>(static_cast<int>(random() % 2001) - 1000) / 128.0f;
    }
  };
  CMeshwright s;
  s.ResetScene();
  for (int i = 0; i < 3; ++i) {
    s.AddMaterial();
    CMaterial& m = s.materials.back();
    for (float& c : m.color) c = number();
    m.diffuse = number();
    m.ambient = number();
    m.emissive = number();
    m.specular = number();
    m.power = number();
  }
  s.materials[0].name = std::string(300000, 'n');  // longer than the exporter's whole buffer
  s.materials[1].texture = "\x8a\xbf\x8e\x9a.bmp";
  s.models[0].name = std::string(70000, 'm');
  s.models[0].facet = number();
  s.models[0].state = kStateHidden;
  s.models.emplace_back();
  CModel& m = s.models.back();
  m.state = kStateLocked;
  m.facet = 59.5f;
  for (std::size_t i = 0; i < vertices; ++i) m.vertices.emplace_back(number(), number(), number());
  const auto n = static_cast<std::int32_t>(vertices);
  for (std::size_t i = 0; i < vertices; ++i) {
    CFace f;
    const std::size_t corners = i % 9;  // 0 and 1 are dropped, 5 and up make version 1.1
    for (std::size_t k = 0; k < corners; ++k) f.indices.push_back(static_cast<std::int32_t>(random() % n));
    const std::size_t uvs = i % 5 == 0 ? 0 : (i % 7 == 0 ? corners / 2 : corners);  // none, too few, one each
    for (std::size_t k = 0; k < uvs; ++k) f.uvs.push_back(CUV(number(), number()));
    f.material = static_cast<std::int32_t>(random() % 5) - 1;
    m.faces.push_back(f);
  }
  return s;
}

TEST(MqoStreamExport, AwkwardScenesWriteTheSameBytesAsBefore) {
  for (std::uint32_t seed : {1u, 2u, 3u}) ExpectSameAsReference(AwkwardScene(seed, 20000), "seed " + std::to_string(seed));
  CMeshwright plain;
  plain.ResetScene();
  ExpectSameAsReference(plain, "new document");
  plain.smoothing = 0;
  plain.models.clear();
  ExpectSameAsReference(plain, "no model, no smoothing");
}

// A grid of quadrilaterals only: version 1.0, every face textured, many blocks.
TEST(MqoStreamExport, LargeGridWritesTheSameBytesAsBefore) {
  CMeshwright s;
  s.ResetScene();
  s.AddMaterial();
  CModel& m = s.models[0];
  constexpr int kSide = 301;
  for (int z = 0; z < kSide; ++z)
    for (int x = 0; x < kSide; ++x) m.vertices.emplace_back(x * 0.37f - 50.0f, std::sin(x * 0.1f) * z, -z * 1.3f);
  for (int z = 0; z + 1 < kSide; ++z)
    for (int x = 0; x + 1 < kSide; ++x) {
      CFace f;
      const int i = z * kSide + x;
      f.indices = {i, i + kSide, i + kSide + 1, i + 1};
      f.uvs = {CUV(x / 300.0f, z / 300.0f), CUV(x / 300.0f, (z + 1) / 300.0f), CUV((x + 1) / 300.0f, 1.0f),
               CUV(1.0f / 3, 0.0f)};
      m.faces.push_back(f);
    }
  ExpectSameAsReference(s, "grid");
}

// A sink that fails gets nothing after its refusal, and the export says it failed.
TEST(MqoStreamExport, AFailingSinkStopsTheExport) {
  const CMeshwright s = AwkwardScene(7, 20000);
  const std::string whole = MetasequoiaText(s);
  for (int refuseAt : {0, 1, 3}) {
    std::string got;
    int calls = 0, afterRefusal = 0;
    bool refused = false;
    const bool ok = WriteMetasequoia(s, [&](const char* data, std::size_t n) {
      if (refused) ++afterRefusal;
      if (calls++ == refuseAt) {
        refused = true;
        return false;
      }
      got.append(data, n);
      return true;
    });
    EXPECT_FALSE(ok) << refuseAt;
    EXPECT_EQ(afterRefusal, 0) << refuseAt;
    EXPECT_EQ(whole.compare(0, got.size(), got), 0) << refuseAt;  // what arrived was the document's start
  }
}

}  // namespace
}  // namespace mw

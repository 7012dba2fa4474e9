// The object attributes patch, patchtri and segment: read into a model's subdivision setting,
// written back for models that have one, and nothing written for models that do not.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "io/loader_mqo.h"

namespace mw {
namespace {

struct Read {
  CMeshwright scene;
  MqoReadInfo info;
};

Read FromText(const std::string& objectAttributes, const char* version = "1.0") {
  const std::string text = std::string("Metasequoia Document\r\nFormat Text Ver ") + version +
                           "\r\nObject \"q\" {\r\n" + objectAttributes +
                           "\tvertex 4 {\r\n\t\t0 0 0\r\n\t\t1 0 0\r\n\t\t1 1 0\r\n\t\t0 1 0\r\n\t}\r\n"
                           "\tface 1 {\r\n\t\t4 V(0 1 2 3)\r\n\t}\r\n}\r\nEof\r\n";
  Read r;
  r.scene.ResetScene();
  r.scene.models.clear();
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  EXPECT_TRUE(ImportMetasequoia(r.scene, f, &r.info));
  std::fclose(f);
  return r;
}

std::string Text(const CMeshwright& s) {
  std::string out;
  EXPECT_TRUE(WriteMetasequoia(s, [&out](const char* d, std::size_t n) {
    out.append(d, n);
    return true;
  }));
  return out;
}

TEST(MqoSubdivision, AttributesReadAsTheNearestScheme) {
  struct Case {
    const char* attributes;
    std::int32_t scheme, level;
    std::size_t warnings;
  };
  const Case cases[] = {
      {"", kSubdivisionNone, 2, 0},
      {"\tpatch 0\r\n\tsegment 3\r\n", kSubdivisionNone, 2, 0},
      {"\tpatch 3\r\n\tsegment 3\r\n", kSubdivisionCatmullClark, 3, 0},
      {"\tpatch 3\r\n", kSubdivisionCatmullClark, 2, 0},
      {"\tsegment 4\r\n\tpatch 3\r\n", kSubdivisionCatmullClark, 4, 0},  // in either order
      {"\tpatch 3\r\n\tsegment 5\r\n", kSubdivisionCatmullClark, 4, 0},
      {"\tpatch 3\r\n\tsegment 16\r\n", kSubdivisionCatmullClark, 4, 0},
      {"\tpatch 3\r\n\tsegment 0\r\n", kSubdivisionCatmullClark, 1, 0},
      {"\tpatch 3\r\n\tpatchtri 1\r\n\tsegment 2\r\n", kSubdivisionLoop, 2, 0},
      {"\tpatch 3\r\n\tpatchtri 0\r\n\tsegment 1\r\n", kSubdivisionCatmullClark, 1, 0},
      {"\tpatch 1\r\n\tsegment 2\r\n", kSubdivisionCatmullClark, 2, 1},
      {"\tpatch 2\r\n\tsegment 3\r\n", kSubdivisionCatmullClark, 3, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    const Read r = FromText(c.attributes);
    ASSERT_EQ(r.scene.models.size(), 1u);
    EXPECT_EQ(r.scene.models[0].subdivisionScheme, c.scheme);
    EXPECT_EQ(r.scene.models[0].subdivisionLevel, c.level);
    EXPECT_EQ(r.info.warnings.size(), c.warnings);
  }
  // Two spline-patch objects give one report between them.
  CMeshwright s;
  s.ResetScene();
  s.models.clear();
  const std::string two = "Metasequoia Document\r\nFormat Text Ver 1.0\r\n"
                          "Object \"a\" {\r\n\tpatch 1\r\n\tvertex 3 {\r\n\t\t0 0 0\r\n\t\t1 0 0\r\n\t\t0 1 0\r\n\t}\r\n"
                          "\tface 1 {\r\n\t\t3 V(0 1 2)\r\n\t}\r\n}\r\n"
                          "Object \"b\" {\r\n\tpatch 2\r\n\tvertex 3 {\r\n\t\t0 0 0\r\n\t\t1 0 0\r\n\t\t0 1 0\r\n\t}\r\n"
                          "\tface 1 {\r\n\t\t3 V(0 1 2)\r\n\t}\r\n}\r\nEof\r\n";
  std::FILE* f = std::tmpfile();
  std::fwrite(two.data(), 1, two.size(), f);
  std::rewind(f);
  MqoReadInfo info;
  EXPECT_TRUE(ImportMetasequoia(s, f, &info));
  std::fclose(f);
  EXPECT_EQ(info.warnings.size(), 1u);
}

TEST(MqoSubdivision, RoundTripInBothVersionsAndPlainModelsUnchanged) {
  for (const char* version : {"1.0", "1.1"}) {
    SCOPED_TRACE(version);
    Read plain = FromText("", version);
    const std::string before = Text(plain.scene);
    EXPECT_EQ(before.find("patch"), std::string::npos);
    EXPECT_EQ(before.find("segment"), std::string::npos);
    for (std::int32_t scheme : {kSubdivisionCatmullClark, kSubdivisionLoop})
      for (std::int32_t level = kSubdivisionMinLevel; level <= kSubdivisionMaxLevel; ++level) {
        CMeshwright s = plain.scene;
        s.models[0].subdivisionScheme = scheme;
        s.models[0].subdivisionLevel = level;
        const std::string text = Text(s);
        const std::size_t object = text.find("Object \"q\" {\r\n");
        ASSERT_NE(object, std::string::npos);
        const std::size_t body = object + 14;
        const std::string attributes = text.substr(body, text.find("\tvisible", body) - body);
        const Read back = FromText(attributes, version);
        EXPECT_EQ(back.scene.models[0].subdivisionScheme, scheme);
        EXPECT_EQ(back.scene.models[0].subdivisionLevel, level);
        // The rest of the document is what a model without subdivision writes.
        std::string without = text;
        without.erase(body, attributes.size());
        EXPECT_EQ(without, before);
      }
  }
}

}  // namespace
}  // namespace mw

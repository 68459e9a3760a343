#include "testdata/osmextractwriter.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

namespace {

// Objects added in any order come out as the format orders them, nodes before ways before
// relations and each kind by id; texts are escaped; a boundary is a relation around a new ring.
TEST(OsmExtractWriter, WritesNodesWaysAndRelationsInOrderWithEscapedTags) {
    testdata::OsmExtractWriter writer;
    writer.AddWay(7, {2, 1}, {{"highway", "residential"}, {"name", "A & \"B\" <C>"}})
        .AddNode(2, 9.5, 47.25)
        .AddNode(1, -0.125, 47.0, {{"place", "village"}, {"name", "D'Or"}})
        .AddBoundary(3, {9.0, 47.0, 9.5, 47.5}, 8, {{"name", "Feld"}});
    EXPECT_EQ(writer.Build(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<osm version=\"0.6\" generator=\"testdata\">\n"
              "  <node id=\"1\" version=\"1\" lat=\"47.0000000\" lon=\"-0.1250000\">\n"
              "    <tag k=\"place\" v=\"village\"/>\n"
              "    <tag k=\"name\" v=\"D&apos;Or\"/>\n"
              "  </node>\n"
              "  <node id=\"2\" version=\"1\" lat=\"47.2500000\" lon=\"9.5000000\"/>\n"
              "  <node id=\"1000000000\" version=\"1\" lat=\"47.0000000\" lon=\"9.0000000\"/>\n"
              "  <node id=\"1000000001\" version=\"1\" lat=\"47.0000000\" lon=\"9.5000000\"/>\n"
              "  <node id=\"1000000002\" version=\"1\" lat=\"47.5000000\" lon=\"9.5000000\"/>\n"
              "  <node id=\"1000000003\" version=\"1\" lat=\"47.5000000\" lon=\"9.0000000\"/>\n"
              "  <way id=\"7\" version=\"1\">\n"
              "    <nd ref=\"2\"/>\n"
              "    <nd ref=\"1\"/>\n"
              "    <tag k=\"highway\" v=\"residential\"/>\n"
              "    <tag k=\"name\" v=\"A &amp; &quot;B&quot; &lt;C&gt;\"/>\n"
              "  </way>\n"
              "  <way id=\"1000000004\" version=\"1\">\n"
              "    <nd ref=\"1000000000\"/>\n"
              "    <nd ref=\"1000000001\"/>\n"
              "    <nd ref=\"1000000002\"/>\n"
              "    <nd ref=\"1000000003\"/>\n"
              "    <nd ref=\"1000000000\"/>\n"
              "  </way>\n"
              "  <relation id=\"3\" version=\"1\">\n"
              "    <member type=\"way\" ref=\"1000000004\" role=\"outer\"/>\n"
              "    <tag k=\"type\" v=\"boundary\"/>\n"
              "    <tag k=\"boundary\" v=\"administrative\"/>\n"
              "    <tag k=\"admin_level\" v=\"8\"/>\n"
              "    <tag k=\"name\" v=\"Feld\"/>\n"
              "  </relation>\n"
              "</osm>\n");
    testdata::TempDeviceRoot root;
    const auto path = root.HostPath() / "in.osm";
    ASSERT_TRUE(writer.WriteTo(path));
    EXPECT_EQ(testdata::ReadHostFile(path), writer.Build());
    EXPECT_FALSE(writer.WriteTo(root.HostPath() / "missing" / "in.osm"));
}

} // namespace

// Reading the area a user has from KML, KMZ and GPX, and refusing what is not one.
// Portable but for the FIFO case.

#include "AreaFile.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace vantrell {
namespace {

namespace fs = std::filesystem;

std::string Kml(const std::string& inside, const std::string& open = "<kml xmlns=\"http://www.opengis.net/kml/2.2\">",
                const std::string& close = "</kml>")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + open + "<Document>" + inside + "</Document>" + close;
}
std::string Gpx(const std::string& version, const std::string& inside)
{
    return "<?xml version=\"1.0\"?>\n<gpx version=\"" + version + "\" xmlns=\"http://www.topografix.com/GPX/" +
           (version == "1.0" ? "1/0" : "1/1") + "\">" + inside + "</gpx>";
}
std::string Ring(const std::string& coordinates, const std::string& prefix = "")
{
    return "<" + prefix + "LinearRing><" + prefix + "coordinates>" + coordinates + "</" + prefix + "coordinates></" +
           prefix + "LinearRing>";
}
std::string Polygon(const std::string& coordinates) { return "<Polygon><outerBoundaryIs>" + Ring(coordinates) + "</outerBoundaryIs></Polygon>"; }
std::string Line(const std::string& coordinates) { return "<LineString><coordinates>" + coordinates + "</coordinates></LineString>"; }

const std::string kSquare = "10,50,0 11,50,0 11,51,0 10,51,0 10,50,0";
const GeoRing kSquareRing = {{50, 10}, {50, 11}, {51, 11}, {51, 10}};
const std::string kHole = "10.25,50.25 10.5,50.25 10.5,50.5 10.25,50.25";
const GeoRing kHoleRing = {{50.25, 10.25}, {50.25, 10.5}, {50.5, 10.5}};
const GeoPath kLine = {{40, -1.5}, {40.5, -1}};

void Put(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xff);
}
void Poke(std::string& zip, std::size_t at, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        zip[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i) & 0xff);
}
std::uint32_t CentralAt(const std::string& zip)
{
    std::uint32_t at = 0;
    for (int i = 3; i >= 0; --i)
        at = at << 8 | static_cast<unsigned char>(zip[zip.size() - 6 + static_cast<std::size_t>(i)]);
    return at;
}

std::string Deflated(const std::string& data, int level = Z_BEST_SPEED)
{
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// A zip archive of the named files, deflated or stored, as a KMZ writer makes one.
std::string Zip(const std::vector<std::pair<std::string, std::string>>& files, bool deflate = true)
{
    std::string zip, central;
    for (const auto& [name, data] : files) {
        const std::string packed = deflate ? Deflated(data) : data;
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        std::string fields; // version, flags, method, time, date, CRC, sizes, name length, extra length
        Put(fields, 20, 2), Put(fields, 0, 2), Put(fields, deflate ? 8 : 0, 2), Put(fields, 0, 4);
        Put(fields, crc, 4), Put(fields, static_cast<std::uint32_t>(packed.size()), 4);
        Put(fields, static_cast<std::uint32_t>(data.size()), 4), Put(fields, static_cast<std::uint32_t>(name.size()), 2);
        Put(fields, 0, 2);
        Put(central, 0x02014b50, 4), Put(central, 20, 2), central += fields;
        Put(central, 0, 2), Put(central, 0, 2), Put(central, 0, 2), Put(central, 0, 4);
        Put(central, static_cast<std::uint32_t>(zip.size()), 4), central += name;
        Put(zip, 0x04034b50, 4), zip += fields + name + packed;
    }
    const auto at = static_cast<std::uint32_t>(zip.size());
    zip += central;
    Put(zip, 0x06054b50, 4), Put(zip, 0, 4), Put(zip, static_cast<std::uint32_t>(files.size()), 2);
    Put(zip, static_cast<std::uint32_t>(files.size()), 2), Put(zip, static_cast<std::uint32_t>(central.size()), 4);
    Put(zip, at, 4), Put(zip, 0, 2);
    return zip;
}

std::string Nested(std::size_t depth, const std::string& inside)
{
    std::string text = inside;
    for (std::size_t i = 0; i < depth; ++i)
        text = "<Folder>" + text + "</Folder>";
    return text;
}

TEST(AreaFileFormats, EveryShapeOfEveryFormatIsRead)
{
    const std::string placemark = "<Placemark><name>Zone</name>" + Polygon(kSquare) + "</Placemark>";
    const std::string withHole = "<kml:Placemark><kml:Polygon><kml:outerBoundaryIs>" + Ring(kSquare, "kml:") +
                                 "</kml:outerBoundaryIs><kml:innerBoundaryIs>" + Ring(kHole, "kml:") +
                                 "</kml:innerBoundaryIs></kml:Polygon></kml:Placemark>";
    struct Row {
        const char* what;
        std::string fileName, bytes;
        std::vector<AreaPolygon> polygons;
        std::vector<GeoPath> paths;
    };
    const Row table[] = {
        {"KML 2.0", "zone.kml", Kml(placemark, "<kml xmlns=\"http://earth.google.com/kml/2.0\">"), {{kSquareRing, {}}}, {}},
        {"KML 2.1, lon, lat with blanks beside the commas", "line.kml",
         Kml("<Placemark>" + Line("\r\n\t-1.5 , 40\n-1,+40.5,12 ") + "</Placemark>",
             "<kml xmlns=\"http://earth.google.com/kml/2.1\">"),
         {}, {kLine}},
        {"KML 2.2 with prefixes, a hole", "hole.kml",
         "<kml:kml xmlns:kml=\"http://www.opengis.net/kml/2.2\"><kml:Document>" + withHole + "</kml:Document></kml:kml>",
         {{kSquareRing, {kHoleRing}}}, {}},
        {"no namespace, MultiGeometry in MultiGeometry, a LinearRing on its own", "multi.kml",
         Kml("<Placemark><MultiGeometry>" + Polygon(kSquare) + "<MultiGeometry>" + Line("-1.5,40 -1,40.5") + Ring(kHole) +
                 "</MultiGeometry></MultiGeometry></Placemark>",
             "<kml>"),
         {{kSquareRing, {}}}, {kLine, {{50.25, 10.25}, {50.25, 10.5}, {50.5, 10.5}, {50.25, 10.25}}}},
        {"gx:Track", "track.kml",
         Kml("<Placemark><gx:Track><when>2024-05-01T10:00:00Z</when><gx:coord>-1.5 40 100</gx:coord>"
             "<gx:coord>-1 40.5</gx:coord></gx:Track></Placemark>",
             "<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:gx=\"http://www.google.com/kml/ext/2.2\">"),
         {}, {kLine}},
        {"a GroundOverlay's LatLonBox, and a Point left out", "overlay.kml",
         Kml("<GroundOverlay><LatLonBox><north>51</north><south>50</south><east>11</east><west>10</west>"
             "<rotation>0</rotation></LatLonBox></GroundOverlay><Placemark><Point><coordinates>3,3</coordinates>"
             "</Point></Placemark>"),
         {{{{51, 10}, {51, 11}, {50, 11}, {50, 10}}, {}}}, {}},
        {"Folders in Folders, in order", "folders.kml",
         Kml("<Folder>" + placemark + "<Folder><Folder><Placemark>" + Line("-1.5,40 -1,40.5") +
             "</Placemark></Folder></Folder></Folder>"),
         {{kSquareRing, {}}}, {kLine}},
        {"256 levels deep: kml, Document, Folders, Placemark, Polygon, boundary, ring, coordinates", "deep.kml",
         Kml(Nested(249, placemark), "<kml>"), {{kSquareRing, {}}}, {}},
        {"KMZ: doc.kml, though another .kml comes first", "zone.kmz",
         Zip({{"files/other.kml", Kml("<Placemark>" + Line("-1.5,40 -1,40.5") + "</Placemark>")},
              {"doc.kml", Kml(placemark)}}),
         {{kSquareRing, {}}}, {}},
        {"KMZ without doc.kml: its first .kml, stored", "zone.kmz",
         Zip({{"images/a.png", "PNG"}, {"zone.KML", Kml(placemark)}, {"last.kml", "nothing"}}, false),
         {{kSquareRing, {}}}, {}},
        {"GPX 1.0, a track of two segments", "walk.gpx",
         Gpx("1.0", "<trk><trkseg><trkpt lat=\"40\" lon=\"-1.5\"><ele>3</ele></trkpt><trkpt lat=\"40.5\" lon=\"-1\"/>"
                    "</trkseg><trkseg><trkpt lat=\" 50 \" lon=\"10\"/></trkseg></trk><wpt lat=\"1\" lon=\"1\"/>"),
         {}, {kLine, {{50, 10}}}},
        {"GPX 1.1, a route", "route.gpx",
         Gpx("1.1", "<rte><rtept lat=\"40\" lon=\"-1.5\"/><rtept lon=\"-1\" lat=\"40.5\"/></rte>"), {}, {kLine}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.what);
        std::string error;
        const std::optional<Area> area = ReadAreaText(row.bytes, "maps/" + row.fileName, error);
        ASSERT_TRUE(area.has_value()) << error;
        EXPECT_EQ(area->polygons, row.polygons);
        EXPECT_EQ(area->paths, row.paths);
        EXPECT_EQ(area->fileName, row.fileName);
    }
}

TEST(AreaFileRefusals, EachBadInputGetsOneSentence)
{
    const std::string good = Kml("<Placemark>" + Polygon(kSquare) + "</Placemark>");
    const std::string kmz = Zip({{"doc.kml", good}});
    const std::size_t central = CentralAt(kmz);
    std::string encrypted = kmz, zip64 = kmz, bzip2 = kmz, badCrc = kmz, badOffset = kmz;
    Poke(encrypted, 6, 1, 2), Poke(encrypted, central + 8, 1, 2);
    Poke(zip64, central + 20, 0xffffffff, 4);
    Poke(bzip2, 8, 12, 2), Poke(bzip2, central + 10, 12, 2);
    Poke(badCrc, central + 16, 12345, 4);
    Poke(badOffset, central + 42, 7, 4);
    // Archives that declare the size of good but unpack to far more: inflating must stop
    // at the limit. Past 64 MB at a ratio well below 200: sparse random digits.
    std::string large = good + "<!--";
    std::mt19937 random(7);
    while (large.size() < kMaxAreaFileBytes * 4 + 4096)
        large += std::string(500, ' ') + std::to_string(random()) + std::to_string(random()) + "\n";
    large += "-->";
    std::string hugeKmz = Zip({{"doc.kml", large}}), denseKmz = Zip({{"doc.kml", good + std::string(1 << 20, ' ')}});
    for (std::string* lying : {&hugeKmz, &denseKmz}) {
        const std::size_t at = CentralAt(*lying);
        Poke(*lying, 22, static_cast<std::uint32_t>(good.size()), 4);
        Poke(*lying, at + 24, static_cast<std::uint32_t>(good.size()), 4);
    }
    const std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 "
                             "\"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">]><kml><Document><name>&lol2;"
                             "</name>" + Polygon(kSquare) + "</Document></kml>";
    struct Row {
        const char* what;
        std::string fileName, bytes;
        std::string error; // after the quoted file name
    };
    const Row table[] = {
        // Not the format the file claims.
        {"text", "a.kml", "lon,lat\n10,50\n", " is not a KML or GPX file: it is not XML."},
        {"tags that do not nest", "a.kml", "<kml><Document></kml>", " is not a KML or GPX file: it is not XML."},
        {"an entity it never declared", "a.kml", Kml("<name>&lol;</name>" + Polygon(kSquare)), " is not a KML or GPX file: it is not XML."},
        {"other XML", "a.kml", "<svg><path d=\"M 0 0\"/></svg>", " is not a KML or GPX file."},
        {"a .kmz that is no zip", "a.kmz", good, " is not a KMZ file: it is not a zip archive."},
        {"a KMZ of no KML", "a.kmz", Zip({{"doc.txt", good}}), " is a zip archive without a .kml file in it."},
        {"a KMZ holding GPX", "a.kmz", Zip({{"doc.kml", Gpx("1.1", "")}}), " holds a .kml file that is not KML."},
        // No area in it.
        {"points alone", "a.kml", Kml("<Placemark><Point><coordinates>10,50</coordinates></Point></Placemark>"),
         " holds no polygon, path or track."},
        {"an empty GPX", "a.gpx", Gpx("1.1", "<trk><trkseg/></trk>"), " holds no polygon, path or track."},
        // Shapes that are no shape.
        {"a polygon of two corners", "a.kml", Kml(Polygon("10,50 11,50 10,50 11,50 10,50")),
         " holds a polygon whose ring has fewer than 3 distinct corners."},
        {"a hole of two corners", "a.kml",
         Kml("<Polygon><outerBoundaryIs>" + Ring(kSquare) + "</outerBoundaryIs><innerBoundaryIs>" + Ring("1,1 2,2") +
             "</innerBoundaryIs></Polygon>"),
         " holds a polygon whose ring has fewer than 3 distinct corners."},
        {"words for numbers", "a.kml", Kml(Line("10,50 east,north")), " holds coordinates that are not numbers: \"east,north\"."},
        {"a lat without a lon", "a.gpx", Gpx("1.1", "<rte><rtept lat=\"1\"/></rte>"), " holds a rtept without its lat and lon."},
        // Beyond the earth.
        {"latitude 90.5", "a.kml", Kml(Line("10,50 10,90.5")), " holds a point out of range (latitude 90.5, longitude 10)"},
        {"longitude -180.5", "a.gpx", Gpx("1.0", "<rte><rtept lat=\"1\" lon=\"-180.5\"/></rte>"),
         " holds a point out of range (latitude 1, longitude -180.5)"},
        {"NaN", "a.kml", Kml(Line("nan,50")), " holds a point out of range (latitude 50, longitude nan)"},
        {"infinite by overflow", "a.gpx", Gpx("1.1", "<rte><rtept lat=\"1e400\" lon=\"0\"/></rte>"),
         " holds a point out of range (latitude inf, longitude 0)"},
        // Across the 180° meridian, as a path and by a ring's closing side.
        {"a path across", "a.kml", Kml(Line("179.5,0 -179.5,0")), " holds a shape that crosses the 180\u00b0 meridian"},
        {"a ring closing across", "a.kml", Kml(Polygon("-179.5,0 -179.5,1 179.5,1 179.5,0")),
         " split it at the meridian into one shape on each side."},
        {"a LatLonBox across", "a.kml",
         Kml("<GroundOverlay><LatLonBox><north>1</north><south>0</south><east>-179</east><west>179</west></LatLonBox>"
             "</GroundOverlay>"),
         " holds a shape that crosses the 180\u00b0 meridian"},
        // Hostile files.
        {"a DTD bomb", "a.kml", bomb, " declares a DTD or entities, which Vantrell does not read."},
        {"an entity declaration in lower case", "a.kml", "<kml><!entity x \"y\"></kml>",
         " declares a DTD or entities, which Vantrell does not read."},
        {"257 levels deep", "a.kml", Kml(Nested(251, Polygon(kSquare)), "<kml>"), " nests its elements more than 256 deep."},
        {"over 16 MB in memory", "a.kml", good + std::string(kMaxAreaFileBytes, ' '), " is larger than 16 MB."},
        {"a KMZ declaring more than 200 times", "a.kmz", Zip({{"doc.kml", good + std::string(1 << 20, ' ')}}),
         " holds a KML file that unpacks to more than 200 times its packed size."},
        {"a KMZ unpacking past 200 times", "a.kmz", denseKmz,
         " holds a KML file that unpacks to more than 200 times its packed size."},
        {"a KMZ unpacking past 64 MB", "a.kmz", hugeKmz, " holds a KML file that unpacks to more than 64 MB."},
        {"an encrypted KMZ", "a.kmz", encrypted, " holds its KML encrypted, which Vantrell cannot read."},
        {"zip64", "a.kmz", zip64, " is a zip64 archive, which Vantrell does not read."},
        {"bzip2", "a.kmz", bzip2, " holds its KML packed another way than stored or deflated."},
        {"a wrong CRC", "a.kmz", badCrc, " is a damaged zip archive."},
        {"a local header elsewhere", "a.kmz", badOffset, " is a damaged zip archive."},
        {"a KMZ cut short", "a.kmz", kmz.substr(0, kmz.size() - 30), " is not a KMZ file: it is not a zip archive."},
        {"a KMZ by its bytes, named .kml", "a.kml", Zip({{"doc.kml", "<kml/>"}}), " holds no polygon, path or track."},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.what);
        std::string error;
        EXPECT_FALSE(ReadAreaText(row.bytes, "maps/" + row.fileName, error));
        EXPECT_EQ(error.substr(0, row.fileName.size() + 7), "\"maps/" + row.fileName + "\"");
        EXPECT_NE(error.find(row.error), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(AreaFileRefusals, FilesThatAreNoPlainFileOrTooLarge)
{
    const fs::path dir = fs::temp_directory_path() / ("vantrell-area-" + std::to_string(std::random_device{}()));
    ASSERT_TRUE(fs::create_directory(dir));
    std::string atLimit = Kml("<Placemark>" + Polygon(kSquare) + "</Placemark>");
    atLimit.resize(kMaxAreaFileBytes, ' ');
    const std::string file = (dir / "zone.kml").string();
    struct Row {
        const char* what;
        std::string path, error; // error empty: read
    };
    const Row table[] = {
        {"16 MB exactly", file, ""},
        {"one byte more", file, " is larger than 16 MB."},
        {"a folder", (dir / "folder.kml").string(), " is not a plain file."},
#ifdef _WIN32
        {"a device", "NUL", " is not a plain file."},
#else
        {"a device", "/dev/null", " is not a plain file."},
        {"a FIFO", (dir / "fifo.kml").string(), " is not a plain file."},
#endif
        {"no file", (dir / "none.kml").string(), "There is no file"},
    };
    fs::create_directory(dir / "folder.kml");
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "fifo.kml").c_str(), 0600), 0);
#endif
    for (const Row& row : table) {
        SCOPED_TRACE(row.what);
        if (row.path == file)
            std::ofstream(file, std::ios::binary) << atLimit << (row.error.empty() ? "" : " ");
        std::string error;
        const std::optional<Area> area = ReadAreaFile(row.path, error);
        EXPECT_EQ(area.has_value(), row.error.empty()) << error;
        EXPECT_NE(error.find(row.error), std::string::npos) << error;
        EXPECT_TRUE(!area || area->fileName == "zone.kml");
    }
    fs::remove_all(dir);
}

} // namespace
} // namespace vantrell

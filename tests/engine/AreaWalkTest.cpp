#include "AreaWalk.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

const double kMiles = kMilesPerDegree; // a degree of latitude, as the walk measures it

// x miles east and y miles north of 0° 0°, where a degree of longitude is as long.
GeoPoint Miles(double x, double y) { return {y / kMiles, x / kMiles}; }

Area Polygon(GeoRing outer, std::vector<GeoRing> holes = {})
{
    return {{{std::move(outer), std::move(holes)}}, {}, "area.kml"};
}

GeoRing Square(double centreX, double centreY, double half)
{
    return {Miles(centreX - half, centreY - half), Miles(centreX + half, centreY - half),
            Miles(centreX + half, centreY + half), Miles(centreX - half, centreY + half)};
}

// The corner rounds outward, to the north and the west, in both hemispheres; the rows
// reach the east edge at the latitude nearest the equator.
TEST(AreaRequestHoldsTheArea, CornerRoundedOutwardMilesFromIt)
{
    struct Case {
        const char* what;
        Area area;
        ScanRequest request;
        std::int32_t corridor = kDefaultCorridorTenths;
    };
    const auto box = [](double south, double west, double north, double east) {
        return Polygon({{south, west}, {south, east}, {north, east}, {north, west}});
    };
    const Case cases[] = {
        {"whole seconds stay, 40.1 included", box(40.0, -101.0, 40.1, -100.0),
         {40, 6, 0, "North", 101, 0, 0, "West", 53, 7}},
        {"a hair past a second rounds out", box(40.0, -101.00001, 40.00001, -100.0),
         {40, 0, 1, "North", 101, 0, 1, "West", 54, 1}},
        {"south and east: north is towards the equator", box(-33.9, 151.2001, -33.8501, 151.3),
         {33, 51, 0, "South", 151, 12, 0, "East", 6, 4}},
        {"rows at the southern edge are the longest", box(30.0, 10.0, 40.0, 11.0),
         {40, 0, 0, "North", 10, 0, 0, "East", 60, 692}},
        {"in the south, at the northern edge", box(-40.0, 10.0, -30.0, 11.0),
         {30, 0, 0, "South", 10, 0, 0, "East", 60, 692}},
        {"across the equator, a full degree", box(-5.0, -0.5, 5.0, 0.5), {5, 0, 0, "North", 0, 30, 0, "West", 70, 692}},
        {"a path due east still has a row", {{}, {{{10.0, 1.0}, {10.0, 2.0}}}, "road.gpx"},
         {10, 0, 0, "North", 1, 0, 0, "East", 69, 1}, 0},
        {"a path's corridor is part of the area", {{}, {{{10.0, 1.0}, {10.0, 2.0}}}, "road.gpx"},
         {10, 0, 27, "North", 0, 59, 33, "East", 70, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RequestForArea(c.area, {}, c.corridor), c.request);
    }
    EXPECT_EQ(RequestForArea({}), std::nullopt);
}

// At 620 m a view is 0.445 by 0.250 miles; the corridor reaches half a mile beyond it.
TEST(AreaViewTouchesTheShape, PolygonsLessHolesAndPathCorridors)
{
    struct Case {
        const char* what;
        Area area;
        std::int32_t corridorTenths;
        bool touches;
    };
    const GeoRing cutsCorner = {Miles(0.30, 0.0), Miles(1.0, 1.0), Miles(0.0, 0.30)};
    const GeoRing missesCorner = {Miles(0.36, 0.0), Miles(1.0, 1.0), Miles(0.0, 0.36)};
    const auto path = [](std::vector<GeoPoint> points) { return Area{{}, {std::move(points)}, "road.gpx"}; };
    const Case cases[] = {
        {"inside", Polygon(Square(0, 0, 5)), 5, true},
        {"outside", Polygon(Square(3, 0, 1)), 5, false},
        {"inside a hole", Polygon(Square(0, 0, 5), {Square(0, 0, 1)}), 5, false},
        {"a hole smaller than the view", Polygon(Square(0, 0, 5), {Square(0, 0, 0.05)}), 5, true},
        {"an edge across a corner, no vertex in the view", Polygon(cutsCorner), 5, true},
        {"an edge past the corner", Polygon(missesCorner), 5, false},
        {"a polygon smaller than the view", Polygon(Square(0.1, 0.05, 0.01)), 5, true},
        {"a small polygon beside it", Polygon(Square(0.3, 0, 0.05)), 5, false},
        // Diagonal x + y = s: the view's corner is (s - 0.3475) / sqrt 2 away.
        {"diagonal within half a mile", path({Miles(1.04, 0), Miles(0, 1.04)}), 5, true},
        {"diagonal beyond half a mile", path({Miles(1.07, 0), Miles(0, 1.07)}), 5, false},
        {"diagonal within a mile", path({Miles(1.75, 0), Miles(0, 1.75)}), 10, true},
        {"diagonal beyond a mile", path({Miles(1.78, 0), Miles(0, 1.78)}), 10, false},
        {"a path of one point, near", path({Miles(0.7, 0)}), 5, true},
        {"a path of one point, far", path({Miles(0.75, 0)}), 5, false},
        {"a point in the view, no corridor", path({Miles(0.2, 0.1)}), 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAreaIndex index(c.area, 620, c.corridorTenths);
        EXPECT_EQ(index.ViewTouches(0.0, 0.0), c.touches);
    }
    // Longitude shrinks with the cosine of the point's latitude: at 60° 1.4 miles' worth
    // of equator longitude is 0.7 miles.
    CAreaIndex north(Area{{}, {{{60.0, 1.4 / kMiles}}}, "p.gpx"}, 620, 5);
    EXPECT_TRUE(north.ViewTouches(60.0, 0.0));
}

} // namespace
} // namespace vantrell

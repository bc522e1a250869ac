#pragma once
// The area a user has, read from the file they drew or recorded it in: KML (2.0 to 2.2,
// with or without namespaces), KMZ, or GPX (1.0, 1.1). Portable: SmallFile*.cpp does the
// opening. Any thread; throws nothing.

#include "Area.h"
#include "Xml.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

// An area file is read whole, so it is refused beyond this size (16 MB).
inline constexpr std::uint64_t kMaxAreaFileBytes = 16ull * 1024 * 1024;

// Reads the area in the file at path: a plain file of at most kMaxAreaFileBytes, opened
// without waiting (FIFOs, folders and devices are refused). On failure nothing comes
// back and error is one sentence for the user, naming the file as path gives it.
std::optional<Area> ReadAreaFile(std::string_view path, std::string& error);

// The same reading of a file already in memory. fileName names it in error, and its
// last component (after any '/' or '\') becomes the area's fileName. A KMZ is known by
// its first bytes or a ".kmz" name; KML and GPX by their root element.
//
// What counts, of KML: every Polygon (innerBoundaryIs rings are its holes), LineString,
// LinearRing outside a Polygon, gx:Track and the LatLonBox of a GroundOverlay, at any
// depth of Document, Folder, Placemark or MultiGeometry; Points are not an area and are
// left out. Of GPX: each trkseg of a trk and each rte, as a path.
//
// Refused: no polygon or path at all; a polygon ring of fewer than 3 distinct corners; a
// latitude beyond ±90°, a longitude beyond ±180° or either not finite; a shape with a
// side whose longitudes differ by more than 180°, which crosses the 180° meridian.
std::optional<Area> ReadAreaText(std::string_view bytes, std::string_view fileName, std::string& error);

// The KML shapes below element, at any depth, read as ReadAreaText reads a KML
// document's and added to area (whose fileName is left alone); an element without any
// adds none. On a refusal, false, with error one sentence naming fileName as given.
bool ReadAreaGeometry(XmlElement element, std::string_view fileName, Area& area, std::string& error);

} // namespace vantrell

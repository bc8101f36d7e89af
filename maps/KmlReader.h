#pragma once
// KML 2.2: each Point of a Placemark, at any depth of Documents and Folders.
#include "maps/PlaceCollector.h"
#include "maps/XmlSource.h"

// Throws MapError when the document is no KML.
void ReadKml(const XmlSource& source, PlaceCollector& places);

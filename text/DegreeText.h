#pragma once
// Coordinates as people type them into a spreadsheet.
#include <string>
#include <string_view>

// Decimal degrees ("35.6586", "+139.7454"; "35,6586" when decimalComma), degrees-minutes-seconds
// ("35°39'29.1\"N", "N35°39.485'", "35度39分29.1秒", "北緯35°39′29″"; blank-separated only with
// a hemisphere: "S0 08.040", "139 45 36 E", not "139 45 36"), full-width digits and marks too,
// or the unit's dotted form ("35.39.29.1", "35.39.29"). N and E (北緯, 東経) are positive, S and W
// (南緯, 西経) negative; a letter of the other axis, minutes or seconds of 60 or more, or
// anything else make it false.
bool ParseDegreeCell(std::string_view text, bool latitude, bool decimalComma, double& degrees);

// A cell holding both coordinates, latitude first ("35.6812362, 139.7671248", "35°40'52.3\"N
// 139°46'01.2\"E", "N35.68 E139.76"), or longitude first where hemisphere letters say so: the
// two texts, each of which ParseDegreeCell reads; false for anything else.
bool SplitCoordinatePair(std::string_view cell, std::string& latitude, std::string& longitude);

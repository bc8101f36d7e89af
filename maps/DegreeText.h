#pragma once
// Coordinates as people type them into a spreadsheet.
#include <string_view>

// Decimal degrees ("35.6586", "+139.7454"; "35,6586" when decimalComma), degrees-minutes-seconds
// ("35°39'29.1\"N", "N35°39.485'", "35度39分29.1秒", "北緯35°39′29″", "139 45 36 E" is not one)
// or the unit's dotted form ("35.39.29.1", "35.39.29"). N and E (北緯, 東経) are positive, S and W
// (南緯, 西経) negative; a letter of the other axis, minutes or seconds of 60 or more, or
// anything else make it false.
bool ParseDegreeCell(std::string_view text, bool latitude, bool decimalComma, double& degrees);

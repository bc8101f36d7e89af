// quorvel-make-sample LIST.txt OUTPUT.mem
// Builds a memory-point file from a readable UTF-8 list, one point a line:
//   name|reading|latitude|longitude|digits
// Coordinates in decimal degrees (Tokyo datum); digits may be empty. '#' starts a comment line.
// A development tool: the product never transcodes, this tool turns UTF-8 into CP932 once.
#include <iconv.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "mempoint/MemPointEncoder.h"
#include "mempoint/MemPointFormat.h"
#include "support/MemImage.h"

namespace {
std::string ToCp932(const std::string& utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv cannot convert UTF-8 to CP932");
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* outPtr = &out[0];
    size_t outLeft = out.size();
    const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1)) throw std::runtime_error("\"" + utf8 + "\" has no CP932 form");
    out.resize(out.size() - outLeft);
    return out;
}

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream stream(line);
    while (std::getline(stream, field, '|')) fields.push_back(field);
    if (!line.empty() && line.back() == '|') fields.emplace_back();
    return fields;
}

// Whole arc-seconds and 1/256 s, rounded to the nearest 1/256 s.
void ToSeconds(const std::string& text, double maxDegrees, std::uint32_t& seconds, std::uint8_t& fraction) {
    char* end = nullptr;
    const double degrees = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(degrees >= 0 && degrees <= maxDegrees))
        throw std::runtime_error("bad coordinate \"" + text + "\"");
    const mempoint::Seconds256 value = mempoint::ToSeconds256(degrees);
    seconds = value.seconds;
    fraction = value.fraction;
}

void CheckDigits(const std::string& digits) {
    if (digits.size() > static_cast<std::size_t>(mempoint::kMaxDigits))
        throw std::runtime_error("more than 10 digits");
    for (const char ch : digits)
        if (ch < '0' || ch > '9') throw std::runtime_error("digits \"" + digits + "\" hold a non-digit");
}

std::string CheckedText(const std::string& utf8, const char* what) {
    const std::string bytes = ToCp932(utf8);
    if (bytes.size() > mempoint::kTextSize)
        throw std::runtime_error(std::string(what) + " \"" + utf8 + "\" takes " + std::to_string(bytes.size()) +
                                 " bytes, more than 16");
    return bytes;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: quorvel-make-sample LIST.txt OUTPUT.mem\n";
        return 2;
    }
    std::ifstream list(argv[1]);
    if (!list) {
        std::cerr << argv[1] << ": cannot be read\n";
        return 1;
    }
    MemImage image;
    int record = 0;
    int lineNumber = 0;
    std::string line;
    try {
        while (std::getline(list, line)) {
            ++lineNumber;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '#') continue;
            if (record == mempoint::kRecordCount) throw std::runtime_error("more than 100 points");
            const std::vector<std::string> fields = SplitFields(line);
            if (fields.size() != 5) throw std::runtime_error("expected 5 fields separated by |");
            std::uint32_t seconds = 0;
            std::uint8_t fraction = 0;
            image.Use(record).Name(record, CheckedText(fields[0], "name")).Reading(record, CheckedText(fields[1], "reading"));
            ToSeconds(fields[2], 90.0, seconds, fraction);
            image.Latitude(record, seconds, fraction);
            ToSeconds(fields[3], 180.0, seconds, fraction);
            image.Longitude(record, seconds, fraction);
            CheckDigits(fields[4]);
            image.Digits(record, fields[4]);
            ++record;
        }
    } catch (const std::exception& error) {
        std::cerr << argv[1] << ':' << lineNumber << ": " << error.what() << '\n';
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(image.Bytes().data(), static_cast<std::streamsize>(image.Bytes().size()));
    out.close();
    if (!out) {
        std::cerr << argv[2] << ": cannot be written\n";
        return 1;
    }
    std::cout << argv[2] << ": " << record << " points\n";
    return 0;
}

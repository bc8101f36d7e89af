#include "maps/Gazetteer.h"

#include <cmath>
#include <map>
#include <mutex>

#include "maps/DecimalChars.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "platform/HostSystem.h"
#include "platform/Utf8.h"

namespace {
constexpr const char* kFileName = "gazetteer.txt";
constexpr std::string_view kSuffixes[] = {"市", "町", "村", "区"};

bool Number(std::string_view text, double& value) {
    const std::from_chars_result read = ReadDouble(text.data(), text.data() + text.size(), value);
    return read.ec == std::errc() && read.ptr == text.data() + text.size();
}

// Squared distance on a plane stretched by the latitude: enough to tell the nearest of a few.
double Distance(double lat1, double lon1, double lat2, double lon2) {
    const double dx = (lon1 - lon2) * std::cos((lat1 + lat2) * 0.5 * 3.14159265358979 / 180);
    return dx * dx + (lat1 - lat2) * (lat1 - lat2);
}
}  // namespace

Gazetteer Gazetteer::Parse(const std::string& text) {
    Gazetteer gazetteer;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + at, end - at);
        at = end + 1;
        std::string_view fields[4];
        std::size_t from = 0, count = 0;
        for (; count < 4; ++count) {
            const std::size_t tab = line.find('\t', from);
            fields[count] = line.substr(from, tab == std::string_view::npos ? std::string_view::npos : tab - from);
            if (tab == std::string_view::npos) break;
            from = tab + 1;
        }
        double latitude = 0, longitude = 0;
        if (count != 3 || fields[0].empty() || fields[1].empty() || !Number(fields[2], latitude) || !Number(fields[3], longitude))
            continue;  // a line the tool did not write
        gazetteer.m_places[std::string(fields[0])].push_back({std::string(fields[1]), latitude, longitude});
        if (fields[0].size() > gazetteer.m_longest) gazetteer.m_longest = fields[0].size();
        ++gazetteer.m_size;
    }
    return gazetteer;
}

Gazetteer Gazetteer::Load(const std::string& path) {
    try {
        CFile file;
        CFileException error;
        if (!file.Open(CString(path), CFile::modeRead, &error)) return {};
        std::string text(static_cast<std::size_t>(file.GetLength()), '\0');
        if (!text.empty() && file.Read(&text[0], static_cast<unsigned>(text.size())) != text.size()) return {};
        file.Close();
        return Parse(text);
    } catch (const CFileException&) {
        return {};  // without it, names are guessed as before
    }
}

std::string Gazetteer::DefaultPath(const DataFolder& data) {
#ifdef __EMSCRIPTEN__
    (void)data;
    return std::string("/ipadic/") + kFileName;  // the page's, beside MeCab's dictionary when it came
#else
    return data.PathOf(kFileName);
#endif
}

std::shared_ptr<const Gazetteer> Gazetteer::Shipped(const DataFolder& data) {
    // Read once a process for each file.
    static std::mutex lock;
    static std::map<std::string, std::shared_ptr<const Gazetteer>> read;
    const std::string path = DefaultPath(data);
    const std::lock_guard<std::mutex> hold(lock);
    std::shared_ptr<const Gazetteer>& shipped = read[path];
    if (!shipped) shipped = std::make_shared<const Gazetteer>(Load(path));
    return shipped;
}

bool Gazetteer::MayHold(std::string_view name) {
    for (const std::string_view suffix : kSuffixes)
        if (name.find(suffix) != std::string_view::npos) return true;
    return false;
}

std::size_t Gazetteer::MatchAt(std::string_view name, std::size_t at, double latitude, double longitude, std::string& reading) const {
    if (m_places.empty() || at >= name.size()) return 0;
    // Every municipality's name ends in 市, 町, 村 or 区: only the ends just past one are looked
    // up, with the number of characters up to each.
    std::size_t ends[16], characters[16], count = 0;
    std::size_t i = at;
    for (std::size_t read = 1; i < name.size() && i - at < m_longest && count < 16; ++read) {
        const std::size_t from = i;
        NextCodePoint(name, i);
        const std::string_view character = name.substr(from, i - from);
        for (const std::string_view suffix : kSuffixes)
            if (character == suffix) {
                ends[count] = i;
                characters[count++] = read;
                break;
            }
    }
    std::string key;
    for (std::size_t k = count; k-- > 0;) {
        if (characters[k] < 2 || (characters[k] == 2 && at > 0)) break;  // two characters at the start only, never one
        key.assign(name.substr(at, ends[k] - at));
        const auto found = m_places.find(key);
        if (found == m_places.end()) continue;
        const Entry* nearest = &found->second.front();
        for (const Entry& entry : found->second)
            if (Distance(latitude, longitude, entry.latitude, entry.longitude) <
                Distance(latitude, longitude, nearest->latitude, nearest->longitude))
                nearest = &entry;
        reading = nearest->reading;
        return ends[k] - at;
    }
    return 0;
}

#pragma once
// The POI entries of one conversion; the document is glorie/GlorieWriter's.
#include <cstddef>
#include <vector>

#include "glorie/PoiEntry.h"
#include "text/ByteSink.h"
#include "platform/CString.h"

class CPoiTable {
public:
    static constexpr int kCapacity = 700;
    static constexpr int kNameLimit = 16;

    CPoiTable();

    void Reset();
    void ResetEntry(int position);
    int GetCount() const;

    void SetName(CString text, int position);
    void SetReading(CString text, int position);
    void SetLongitude(CString text, int position);
    void SetLatitude(CString text, int position);
    void SetDigits(CString text, int position);

    // The whole document into sink; failures leave as the sink's (a file's CFileException).
    void WriteGlorie(ByteSink& sink) const;

    // Any position below kCapacity; one not yet used is a free entry with the defaults.
    const PoiEntry& Entry(int position) const;
    // Inline for the entries already made: a conversion sets five fields of each.
    PoiEntry& Entry(int position) {
        const auto at = static_cast<std::size_t>(position);
        return position >= 0 && at < m_entries.size() ? m_entries[at] : Make(position);
    }

private:
    PoiEntry& Make(int position);

    // Entries are made when a position is first used, in room reserved for all of them at once so
    // that an entry never moves: a conversion of 100 points touches the memory of 100 entries, not
    // of 700, and the positions past the used ones stay free entries.
    std::vector<PoiEntry> m_entries;
};

#pragma once
// The zip archive of a KMZ, made and opened in memory with zlib's minizip.
#include <cstddef>
#include <string>

// The KML inside: "doc.kml" at the top, else the first member whose name ends in ".kml", in the
// archive's order. Throws MapError naming fileName for an archive that cannot be read, holds no
// KML, whose KML is encrypted or compressed other than by deflate (bzip2, LZMA: said so), or is
// larger than limit: the declared size is checked first, and inflating stops past the limit,
// so that a small archive that inflates to gigabytes costs no more than limit bytes. The entry's
// name is shown in messages as other texts of a file are (SafeText's Excerpt).
std::string KmlOfKmz(const std::string& archive, const std::string& fileName, std::size_t limit);

// An archive holding one document as "doc.kml", deflated as its parts come, so that only the
// archive stands whole in memory; its date is fixed (1980-01-01), so that the same document makes
// the same bytes. Throws MapError when zlib fails.
class KmzWriter {
public:
    KmzWriter();
    ~KmzWriter();
    KmzWriter(const KmzWriter&) = delete;
    KmzWriter& operator=(const KmzWriter&) = delete;

    void Add(const std::string& part);
    std::string Finish();  // the archive

private:
    struct Memory;
    Memory* m_memory;
    void* m_zip;
};

// The archive of a whole document.
std::string KmzOfKml(const std::string& document);

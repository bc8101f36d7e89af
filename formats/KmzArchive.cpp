#include "formats/KmzArchive.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "text/MapError.h"
#include "text/MapText.h"
#include "text/SafeText.h"
#include "text/Cp932Text.h"

namespace {
// One archive in memory, read or written through minizip's file functions.
struct MemoryFile {
    std::string* written = nullptr;     // for writing
    const std::string* read = nullptr;  // for reading
    ZPOS64_T position = 0;
    std::size_t Size() const { return written ? written->size() : read->size(); }
};

voidpf ZCALLBACK Open(voidpf opaque, const void*, int) { return opaque; }

uLong ZCALLBACK Read(voidpf, voidpf stream, void* buffer, uLong size) {
    auto& file = *static_cast<MemoryFile*>(stream);
    const std::string& bytes = file.read ? *file.read : *file.written;
    if (file.position >= bytes.size()) return 0;
    const uLong count = static_cast<uLong>(std::min<ZPOS64_T>(size, bytes.size() - file.position));
    std::memcpy(buffer, bytes.data() + file.position, count);
    file.position += count;
    return count;
}

uLong ZCALLBACK Write(voidpf, voidpf stream, const void* buffer, uLong size) {
    auto& file = *static_cast<MemoryFile*>(stream);
    if (!file.written) return 0;
    std::string& bytes = *file.written;
    const auto at = static_cast<std::size_t>(file.position);
    if (bytes.size() < at + size) bytes.resize(at + size);
    std::memcpy(&bytes[at], buffer, size);
    file.position += size;
    return size;
}

ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) { return static_cast<MemoryFile*>(stream)->position; }

long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto& file = *static_cast<MemoryFile*>(stream);
    const ZPOS64_T base = origin == ZLIB_FILEFUNC_SEEK_SET ? 0 : origin == ZLIB_FILEFUNC_SEEK_CUR ? file.position
                                                                                                  : file.Size();
    if (base + offset > file.Size() && !file.written) return -1;
    file.position = base + offset;
    return 0;
}

int ZCALLBACK Close(voidpf, voidpf) { return 0; }
int ZCALLBACK Error(voidpf, voidpf) { return 0; }

zlib_filefunc64_def Functions(MemoryFile& file) {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = Open;
    functions.zread_file = Read;
    functions.zwrite_file = Write;
    functions.ztell64_file = Tell;
    functions.zseek64_file = Seek;
    functions.zclose_file = Close;
    functions.zerror_file = Error;
    functions.opaque = &file;
    return functions;
}

bool EndsWithKml(const std::string& name) {
    if (name.size() < 4) return false;
    std::string end = name.substr(name.size() - 4);
    for (char& c : end) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return end == ".kml";
}

struct UnzipCloser {
    void operator()(void* archive) const { unzClose(archive); }
};

// The current entry's information and its whole name, however long: the buffer is sized from the
// name's own length (a fixed one leaves a name that fills it unterminated).
bool CurrentEntry(void* zip, unz_file_info64& info, std::string& name) {
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
    std::vector<char> buffer(info.size_filename + 1, '\0');
    if (unzGetCurrentFileInfo64(zip, &info, buffer.data(), static_cast<uLong>(buffer.size()), nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    name.assign(buffer.data(), info.size_filename);
    return true;
}

// An entry's name as a message shows it: the archive chose it, so it is text of any kind. Names
// not flagged UTF-8 are often CP932 (archives made on Japanese Windows); control characters are
// shown as code points, as in point names.
std::string Shown(const std::string& name) {
    std::string text;
    if (FirstInvalidUtf8(name) == std::string_view::npos)
        text = name;
    else
        Cp932ToUtf8(name, text);
    return Excerpt(ValidUtf8(std::move(text)));
}

// Throws why entry cannot be inflated here: only stored and deflated entries are read (minizip
// would hand a bzip2 entry's bytes over as they are).
void CheckReadable(const unz_file_info64& info, const Message& entry) {
    constexpr uLong kEncrypted = 1, kStrongEncryption = 1 << 6, kLzma = 14;
    if (info.flag & (kEncrypted | kStrongEncryption)) throw MapError({MessageId::kmzEncrypted, entry});
    switch (info.compression_method) {
    case 0:
    case Z_DEFLATED: return;
    case Z_BZIP2ED: throw MapError({MessageId::kmzBzip2, entry});
    case kLzma: throw MapError({MessageId::kmzLzma, entry});
    default: throw MapError({MessageId::kmzMethod, entry, info.compression_method});
    }
}
// Sizes a Zip64 writer keeps in its local header's extra field alone, the central directory
// saying 0xFFFFFFFF: the real uncompressed and compressed sizes, or false. dataAt is where the entry's data
// begins; the header before it is found by its signature and its own lengths.
bool LocalZip64Sizes(const std::string& archive, ZPOS64_T dataAt, std::size_t nameLength, ZPOS64_T& size,
                     ZPOS64_T& compressed) {
    const auto at16 = [&archive](std::size_t i) {
        return static_cast<unsigned>(static_cast<unsigned char>(archive[i])) |
               static_cast<unsigned>(static_cast<unsigned char>(archive[i + 1])) << 8;
    };
    if (dataAt > archive.size()) return false;
    for (std::size_t extra = 0; extra <= 0xFFFF && 30 + nameLength + extra <= dataAt; ++extra) {
        const std::size_t header = static_cast<std::size_t>(dataAt) - 30 - nameLength - extra;
        if (archive.compare(header, 4, "PK\x03\x04") != 0 || at16(header + 26) != nameLength || at16(header + 28) != extra)
            continue;
        // Blocks of id, length, data; Zip64's (id 1) starts with the uncompressed size.
        for (std::size_t block = header + 30 + nameLength, end = block + extra; block + 4 <= end;) {
            const std::size_t length = at16(block + 2);
            if (at16(block) == 1 && length >= 16 && block + 4 + 16 <= end) {
                size = compressed = 0;
                for (int k = 7; k >= 0; --k) {
                    size = size << 8 | static_cast<unsigned char>(archive[block + 4 + k]);
                    compressed = compressed << 8 | static_cast<unsigned char>(archive[block + 12 + k]);
                }
                return true;
            }
            block += 4 + length;
        }
        return false;
    }
    return false;
}

// An entry of known sizes taken from the archive directly (minizip reads by the central record's
// sizes, here the sentinel): stored or deflated, its CRC checked. False when it is broken.
bool TakeEntry(const std::string& archive, ZPOS64_T dataAt, ZPOS64_T compressed, ZPOS64_T size, const unz_file_info64& info,
               std::string& document) {
    if (dataAt > archive.size() || compressed > archive.size() - dataAt) return false;
    const char* data = archive.data() + dataAt;
    if (info.compression_method == 0) {
        if (compressed != size) return false;
        document.assign(data, static_cast<std::size_t>(size));
    } else {
        document.assign(static_cast<std::size_t>(size), '\0');
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        stream.avail_in = static_cast<uInt>(compressed);
        stream.next_out = reinterpret_cast<Bytef*>(&document[0]);
        stream.avail_out = static_cast<uInt>(size);
        const int status = inflate(&stream, Z_FINISH);
        const bool whole = status == Z_STREAM_END && stream.total_out == size;
        inflateEnd(&stream);
        if (!whole) return false;
    }
    return crc32(0, reinterpret_cast<const Bytef*>(document.data()), static_cast<uInt>(document.size())) == info.crc;
}
}  // namespace

std::string KmlOfKmz(const std::string& archive, const std::string& fileName, std::size_t limit) {
    MemoryFile file;
    file.read = &archive;
    zlib_filefunc64_def functions = Functions(file);
    const std::unique_ptr<void, UnzipCloser> zip(unzOpen2_64("", &functions));
    const Message notKmz(MessageId::notKmz, fileName);
    if (!zip) throw MapError(notKmz);
    // doc.kml, else the first .kml in the archive's order.
    unz64_file_pos firstKml{};
    bool found = false, doc = false;
    std::string name;
    unz_file_info64 info;
    for (int status = unzGoToFirstFile(zip.get()); status == UNZ_OK && !doc; status = unzGoToNextFile(zip.get())) {
        if (!CurrentEntry(zip.get(), info, name)) throw MapError(notKmz);
        doc = name == "doc.kml";
        if ((doc || !found) && EndsWithKml(name)) {
            found = unzGetFilePos64(zip.get(), &firstKml) == UNZ_OK;
            if (!found) throw MapError(notKmz);
        }
    }
    if (!found) throw MapError({MessageId::noKmlInKmz, fileName});

    if (unzGoToFilePos64(zip.get(), &firstKml) != UNZ_OK || !CurrentEntry(zip.get(), info, name))
        throw MapError(notKmz);
    const Message entry(MessageId::kmzEntry, fileName, Shown(name));
    CheckReadable(info, entry);
    const Message tooLarge(MessageId::kmzTooLarge, entry, limit / (1024 * 1024));
    if (unzOpenCurrentFile(zip.get()) != UNZ_OK) throw MapError({MessageId::kmzCannotOpen, entry});
    // 0xFFFFFFFF: a Zip64 entry whose central record has no size of its own; its local header has.
    ZPOS64_T size = info.uncompressed_size, compressed = 0;
    if (size == 0xFFFFFFFFu &&
        LocalZip64Sizes(archive, unzGetCurrentFileZStreamPos64(zip.get()), name.size(), size, compressed)) {
        const ZPOS64_T dataAt = unzGetCurrentFileZStreamPos64(zip.get());
        unzCloseCurrentFile(zip.get());
        if (size > limit) throw MapError(tooLarge);
        std::string document;
        if (!TakeEntry(archive, dataAt, compressed, size, info, document)) throw MapError({MessageId::kmzBroken, entry});
        return document;
    }
    if (size > limit) {
        unzCloseCurrentFile(zip.get());
        throw MapError(tooLarge);
    }
    std::string document;
    document.reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    int read = 0;
    // The declared size may lie: inflating stops one chunk past the limit whatever it says.
    while ((read = unzReadCurrentFile(zip.get(), buffer, sizeof buffer)) > 0) {
        if (document.size() + static_cast<std::size_t>(read) > limit) {
            unzCloseCurrentFile(zip.get());
            throw MapError(tooLarge);
        }
        document.append(buffer, static_cast<std::size_t>(read));
    }
    const int closed = unzCloseCurrentFile(zip.get());
    // minizip checks the CRC only when the data ran to the declared size: an entry declaring more
    // than it holds would pass unchecked.
    if (read < 0 || closed != UNZ_OK || document.size() != size ||
        crc32(0, reinterpret_cast<const Bytef*>(document.data()), static_cast<uInt>(document.size())) != info.crc)
        throw MapError({MessageId::kmzBroken, entry});
    return document;
}

struct KmzWriter::Memory {
    std::string archive;
    MemoryFile file;
    zlib_filefunc64_def functions{};
};

KmzWriter::KmzWriter() : m_memory(new Memory), m_zip(nullptr) {
    m_memory->file.written = &m_memory->archive;
    m_memory->functions = Functions(m_memory->file);
    m_zip = zipOpen2_64("", APPEND_STATUS_CREATE, nullptr, &m_memory->functions);
    zip_fileinfo info{};
    info.tmz_date.tm_mday = 1;
    info.tmz_date.tm_year = 1980;
    if (!m_zip || zipOpenNewFileInZip64(m_zip, "doc.kml", &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                        Z_DEFAULT_COMPRESSION, 0) != ZIP_OK) {
        if (m_zip) zipClose(m_zip, nullptr);
        delete m_memory;
        throw MapError(MessageId::kmzNotMade);
    }
}

KmzWriter::~KmzWriter() {
    if (m_zip) zipClose(m_zip, nullptr);
    delete m_memory;
}

void KmzWriter::Add(const std::string& part) {
    if (!m_zip || zipWriteInFileInZip(m_zip, part.data(), static_cast<unsigned>(part.size())) != ZIP_OK)
        throw MapError(MessageId::kmzNotMade);
}

std::string KmzWriter::Finish() {
    void* zip = m_zip;
    m_zip = nullptr;
    const bool closed = zip && zipCloseFileInZip(zip) == ZIP_OK;
    if (!(zip && zipClose(zip, nullptr) == ZIP_OK && closed)) throw MapError(MessageId::kmzNotMade);
    return std::move(m_memory->archive);
}

std::string KmzOfKml(const std::string& document) {
    KmzWriter writer;
    writer.Add(document);
    return writer.Finish();
}

#include "maps/KmzArchive.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "maps/MapError.h"

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
    const ZPOS64_T base = origin == ZLIB_FILEFUNC_SEEK_SET ? 0 : origin == ZLIB_FILEFUNC_SEEK_CUR ? file.position : file.Size();
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

bool EndsWithKml(const char* name) {
    const std::size_t length = std::strlen(name);
    if (length < 4) return false;
    std::string end(name + length - 4);
    for (char& c : end) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return end == ".kml";
}

struct UnzipCloser {
    void operator()(void* archive) const { unzClose(archive); }
};
}  // namespace

std::string KmlOfKmz(const std::string& archive, const std::string& fileName, std::size_t limit) {
    MemoryFile file;
    file.read = &archive;
    zlib_filefunc64_def functions = Functions(file);
    const std::unique_ptr<void, UnzipCloser> zip(unzOpen2_64("", &functions));
    if (!zip) throw MapError(fileName + ": KMZ (zip) として読めません");
    // doc.kml, else the first .kml in the archive's order.
    bool found = unzLocateFile(zip.get(), "doc.kml", 1) == UNZ_OK;
    for (int status = found ? UNZ_OK : unzGoToFirstFile(zip.get()); !found && status == UNZ_OK;
         status = unzGoToNextFile(zip.get())) {
        char name[1024];
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
        found = EndsWithKml(name);
    }
    if (!found) throw MapError(fileName + ": KMZ の中に KML (doc.kml) がありません");

    char name[1024];
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
        throw MapError(fileName + ": KMZ (zip) として読めません");
    const std::string tooLarge = fileName + ": KMZ の中の " + name + " は大きすぎます。読み込めるのは " +
                                 std::to_string(limit / (1024 * 1024)) + " MB までです";
    if (info.uncompressed_size > limit) throw MapError(tooLarge);
    if (unzOpenCurrentFile(zip.get()) != UNZ_OK) throw MapError(fileName + ": KMZ の中の " + std::string(name) + " を開けません");
    std::string document;
    document.reserve(static_cast<std::size_t>(info.uncompressed_size));
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
    if (read < 0 || closed != UNZ_OK)
        throw MapError(fileName + ": KMZ の中の " + std::string(name) + " が壊れています");
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
        throw MapError("KMZ を作れませんでした");
    }
}

KmzWriter::~KmzWriter() {
    if (m_zip) zipClose(m_zip, nullptr);
    delete m_memory;
}

void KmzWriter::Add(const std::string& part) {
    if (!m_zip || zipWriteInFileInZip(m_zip, part.data(), static_cast<unsigned>(part.size())) != ZIP_OK)
        throw MapError("KMZ を作れませんでした");
}

std::string KmzWriter::Finish() {
    void* zip = m_zip;
    m_zip = nullptr;
    const bool closed = zip && zipCloseFileInZip(zip) == ZIP_OK;
    if (!(zip && zipClose(zip, nullptr) == ZIP_OK && closed)) throw MapError("KMZ を作れませんでした");
    return std::move(m_memory->archive);
}

std::string KmzOfKml(const std::string& document) {
    KmzWriter writer;
    writer.Add(document);
    return writer.Finish();
}

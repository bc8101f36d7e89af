#include "platform/OutputSet.h"

#include <cstdint>
#include <cstdlib>

#include "platform/PathSplit.h"
#include "text/Utf8.h"

namespace {
constexpr char kRecordMagic[] = "quorvel set record 1";
// Room left within NAME_MAX around a hidden name for a temporary name or ".void".
constexpr std::size_t kHiddenNameMax = 224;

bool ParseNumber(const std::string& text, long long& value) {
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return true;
}
}  // namespace

bool OutputSet::IsBareName(const std::string& name) {
    return !name.empty() && name.size() <= 255 && name != "." && name != ".." && name.find_first_of("/\\:") == std::string::npos;
}

std::string OutputSet::HiddenName(const std::string& base, const std::string& suffix) {
    const std::string plain = "." + base + suffix;
    if (plain.size() <= kHiddenNameMax) return plain;
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const unsigned char c : base) hash = (hash ^ c) * 1099511628211ull;
    static const char kHex[] = "0123456789abcdef";
    std::string tag(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) tag[static_cast<std::size_t>(i)] = kHex[hash & 15];
    return "." + base.substr(0, Utf8BoundaryAtOrBefore(base, 160)) + "~" + tag + suffix;
}

std::vector<std::string> OutputSet::SplitFields(const std::string& bytes, const char* magic) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (std::size_t end = bytes.find('\0'); end != std::string::npos; end = bytes.find('\0', from)) {
        fields.push_back(bytes.substr(from, end - from));
        from = end + 1;
    }
    if (from != bytes.size() || fields.size() < 2 || fields[0] != magic || fields.back() != "E") fields.clear();
    return fields;
}

std::string OutputSet::EncodeRecord(const std::vector<Recorded>& members) {
    std::string bytes = kRecordMagic;
    bytes += '\0';
    for (const Recorded& m : members)
        for (const std::string& field : {m.name, std::to_string(m.device), std::to_string(m.inode), std::to_string(m.size),
                                         std::to_string(m.seconds), std::to_string(m.nanoseconds)}) {
            bytes += field;
            bytes += '\0';
        }
    bytes += "E";
    bytes += '\0';
    return bytes;
}

bool OutputSet::DecodeRecord(const std::string& bytes, std::vector<Recorded>& members) {
    const std::vector<std::string> fields = SplitFields(bytes, kRecordMagic);
    if (fields.empty() || (fields.size() - 2) % 6 != 0) return false;
    for (std::size_t i = 1; i + 1 < fields.size(); i += 6) {
        Recorded m;
        m.name = fields[i];
        long long device = 0, inode = 0, size = 0;
        if (!IsBareName(m.name) || !ParseNumber(fields[i + 1], device) || !ParseNumber(fields[i + 2], inode) ||
            !ParseNumber(fields[i + 3], size) || !ParseNumber(fields[i + 4], m.seconds) || !ParseNumber(fields[i + 5], m.nanoseconds))
            return false;
        m.device = static_cast<unsigned long long>(device);
        m.inode = static_cast<unsigned long long>(inode);
        m.size = static_cast<unsigned long long>(size);
        members.push_back(m);
    }
    return true;
}

bool OutputSet::SameFile(const Recorded& a, const Recorded& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size && a.seconds == b.seconds &&
           a.nanoseconds == b.nanoseconds;
}

bool OutputSet::IsMemberName(const CString& strSetFileName, const CString& strFileName) {
    const std::string& name = strFileName.Str();
    if (name == strSetFileName.Str()) return true;
    const PathParts set = SplitPath(strSetFileName);
    const std::string& stem = set.fname.Str();
    const std::string& ext = set.ext.Str();
    if (name.size() < stem.size() + 2 + ext.size()) return false;
    if (name.compare(0, stem.size(), stem) != 0 || name[stem.size()] != '-') return false;
    if (name.compare(name.size() - ext.size(), ext.size(), ext) != 0) return false;
    for (std::size_t i = stem.size() + 1; i < name.size() - ext.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

// The member's writing begins now; Commit waits for all of them together, before any takes its place.
void OutputSet::Finish(CSaveFile& file) { file.WriteOut(); }

CSaveFile& OutputSet::OpenMember(const CString& strFileName) {
    // A document is one file: a second would be a set without its record.
    if (m_mode == Mode::document && !m_files.empty()) throw CFileException(CFileException::generic, -1, strFileName);
    auto file = std::make_unique<CSaveFile>();
    CFileException error;
    // A member is a new file in its name's place; the one document, or a device, is the file named.
    const bool bMember = m_mode == Mode::set && !m_bDevice;
    if (!(bMember ? file->OpenNew(strFileName, &error) : file->Open(strFileName, &error))) {
        error.m_strFileName = strFileName;
        if (bMember && !file->GetRefusingFolder().empty())
            m_failure = "出力先のフォルダー " + file->GetRefusingFolder() + " に書き込めません: " + CFileException::OsErrorText(error.m_lOsError);
        throw error;
    }
    m_files.push_back(std::move(file));
    m_names.push_back(FullPathOf(strFileName.Str()));
    return *m_files.back();
}

void OutputSet::CommitDocument() {
    for (auto& file : m_files) file->Commit();
    m_files.clear();
}

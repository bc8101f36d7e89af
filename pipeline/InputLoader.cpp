#include "pipeline/InputLoader.h"

#include <cstdint>
#include <utility>

#include "formats/FormatRegistry.h"
#include "glorie/FileErrorText.h"
#include "mempoint/CMemPointStore.h"
#include "mempoint/MemPointFormat.h"
#include "pipeline/ConversionInput.h"
#include "pipeline/MessageOrder.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "platform/HostSystem.h"

namespace {
using Kind = ConversionMessage::Kind;

// The kinds of file read, from the registry: the unit's own (its memory-point file first), then
// the map formats, "メモリーポイントファイルでも glorie 文書でも地図のファイル (GPX, ...)", in
// English "Memory-point files, glorie documents or map files (GPX, ...)".
Message KindsRead() {
    const Format* mem = FormatRegistry::Find("mem");
    std::string unit = std::string(mem->title) + "でも ", english = mem->englishTitle;
    std::string maps;
    for (const Format* format : FormatRegistry::All()) {
        if (format == mem) continue;
        if (format->unit) {
            unit += std::string(format->title) + "でも";
            english += ", " + std::string(format->englishTitle ? format->englishTitle : format->title);
        } else {
            maps += (maps.empty() ? "" : ", ") + std::string(format->title);
        }
    }
    return {MessageId::bilingual, unit + "地図のファイル (" + maps + ") ", english + " or map files (" + maps + ")"};
}

// A file read as XML by its name whose bytes cannot begin an XML document (a photo renamed .kml):
// its first character, after a byte-order mark and blank space, is no "<" in any encoding.
bool CannotBeXml(const std::string& bytes) {
    std::size_t i = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\0'))
        ++i;
    if (i >= bytes.size()) return false;  // empty: the reader's own message
    // UTF-16's and UTF-32's marks are the decoder's.
    if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0 ||
        bytes.compare(0, 4, std::string("\0\0\xFE\xFF", 4)) == 0)
        return false;
    return bytes[i] != '<';
}
}  // namespace

Message InputLoader::Problem(const CString& strInput, bool bMemPoints) {
    if (IsFolder(strInput)) return {MessageId::inputIsFolder, strInput.Str()};
    // A map file's open error names it already; the store's does not.
    if (!bMemPoints) return {};
    if (!IsRegularFile(strInput)) return {MessageId::inputNotFound, strInput.Str()};
    if (FormatRegistry::ForInputPath(strInput.Str()) != FormatRegistry::Find("mem")) return {};  // the store's word
    CFile file;
    CFileException error;
    if (!file.Open(strInput, CFile::modeRead, &error)) return {};  // the store says why
    const std::uint64_t length = file.GetLength();
    if (length == mempoint::kFileSize) return {};
    return {MessageId::memWrongSize, strInput.Str(), length, mempoint::kFileSize};
}

void InputLoader::SetStandardInput(std::string bytes, const Format* format) {
    m_bHasStandardInput = true;
    m_standardInput = std::move(bytes);
    m_standardInputFormat = format;
}

CString InputLoader::SourceOf(const CString& strInput) const {
    const auto found = m_edited.find(strInput.Str());
    return found == m_edited.end() ? strInput : found->second;
}

bool InputLoader::Say(std::vector<ConversionMessage>& messages, ConversionMessage message) { return m_say.Say(messages, std::move(message)); }

bool InputLoader::Fail(const CString& strInput, Message text, std::vector<ConversionMessage>& messages) {
    // The unit's own file says so once more after its reason, as the dialog's store does; a
    // folder is said in its one line.
    const bool bMemPoints = FormatRegistry::ForInputPath(strInput.Str()) == FormatRegistry::Find("mem");
    Message problem = Problem(strInput, bMemPoints);
    Say(messages, {Kind::failure, problem.id == MessageId::text ? std::move(text) : std::move(problem)});
    if (bMemPoints && !IsFolder(strInput)) Say(messages, {Kind::failure, {MessageId::inputNotRead, strInput.Str()}});
    return false;
}

bool InputLoader::Load(const CString& strInput, ConversionInput& input, std::string& bytes, std::vector<ConversionMessage>& messages) {
    input.say = &m_say;
    input.name = strInput;
    const bool bMemPoints = FormatRegistry::ForInputPath(strInput.Str()) == FormatRegistry::Find("mem");
    const auto fail = [&](Message text) { return Fail(strInput, std::move(text), messages); };
    if (m_bHasStandardInput && strInput.Str() == "-") {
        // Read once: a merge naming "-" twice gets its bytes the first time.
        m_bHasStandardInput = false;
        input.format = m_standardInputFormat ? m_standardInputFormat : FormatRegistry::ForContent(m_standardInput);
        bytes.swap(m_standardInput);
    } else try {
            CFile file;
            CFileException error;
            // The message names the input: with several, "not found" alone says nothing. A memory-point
            // file gets the store's message, which the line after it names.
            if (!file.Open(SourceOf(strInput), CFile::modeRead | CFile::shareDenyWrite, &error)) {
                if (bMemPoints) return fail(CMemPointStore::OpenErrorMessage(error));
                if (error.m_strFileName.IsEmpty()) error.m_strFileName = strInput;
                return fail(CommandFailureMessage(error));
            }
            const std::uint64_t length = file.GetLength();
            if (length > kMaxInputBytes)
                return fail({MessageId::inputTooLarge, strInput.Str(), length / (1024 * 1024), kMaxInputBytes / (1024 * 1024)});
            bytes.resize(static_cast<std::size_t>(length));
            if (length > 0 && file.Read(&bytes[0], static_cast<unsigned>(length)) != length)
                throw CFileException(CFileException::endOfFile, 0, file.GetFilePath());
            file.Close();
        } catch (const CFileException& error) {
            return fail(CommandFailureMessage(error));
        }
    if (!input.format) input.format = FormatRegistry::ForInput(strInput.Str(), bytes);
    if (!input.format)
        return fail({MessageId::inputOfNoKind, strInput.Str(), KindsRead()});
    if (FormatRegistry::ForInputPath(strInput.Str()) == input.format && !input.format->recognise &&
        (input.format == FormatRegistry::Find("kml") || input.format == FormatRegistry::Find("gpx")) && CannotBeXml(bytes))
        return fail({MessageId::namedButNoXml, strInput.Str(), input.format->title});
    return true;
}

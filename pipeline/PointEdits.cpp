#include "pipeline/PointEdits.h"

#include <utility>

#include "glorie/FileErrorText.h"
#include "pipeline/ConversionMessage.h"
#include "formats/FormatRegistry.h"
#include "text/MapError.h"
#include "readings/ReadingGuesser.h"
#include "formats/UnitFields.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "platform/CSaveFile.h"
#include "text/Cp932Text.h"

bool WriteEditedInput(const CString& strInput, const std::map<std::size_t, PointEdit>& edits, const CString& strEdited,
                      std::vector<ConversionMessage>& messages) {
    using Kind = ConversionMessage::Kind;
    const std::string input = strInput.Str();
    try {
        CFile file;
        CFileException error;
        if (!file.Open(strInput, CFile::modeRead, &error)) throw error;
        std::string bytes(static_cast<std::size_t>(file.GetLength()), '\0');
        if (!bytes.empty() && file.Read(&bytes[0], static_cast<unsigned>(bytes.size())) != bytes.size())
            throw CFileException(CFileException::endOfFile, 0, file.GetFilePath());
        file.Close();
        const Format* format = FormatRegistry::ForInput(input, bytes);
        if (!format) return false;
        MapReadResult read = format->read(std::move(bytes), input, ReadOptions());
        // One file of the format holds so many points (the unit's table has room for 700).
        if (format->pointsPerFile > 0 && read.places.size() > static_cast<std::size_t>(format->pointsPerFile)) {
            const Message title(MessageId::bilingual, format->title, format->englishTitle ? format->englishTitle : format->title);
            messages.push_back({Kind::failure, {MessageId::editsTooMany, input, read.places.size(), title, format->pointsPerFile}});
            return false;
        }
        for (const auto& [at, edit] : edits) {
            if (at >= read.places.size()) continue;
            Place& place = read.places[at];
            if (edit.hasName) place.SetName(edit.name);
            if (edit.hasReading) place.SetReading(edit.reading);
            if (!format->unit) {
                place.ClearRecord();
                continue;
            }
            // A point the unit's file gave no record of (a glorie point) starts from the texts it has,
            // so that editing its name keeps its reading.
            RecordText record = place.Record() ? *place.Record() : UnitRecord(place);
            std::vector<std::string> unmapped;
            if (edit.hasName) record.name = CutUnitField(Utf8ToCp932(place.Name(), &unmapped));
            // A typed reading becomes half-width katakana, as the core makes one from a map's reading.
            if (edit.hasReading) record.reading = CutUnitField(Utf8ToCp932(ToHalfWidthKatakana(place.Reading()), &unmapped));
            for (const std::string& character : unmapped)
                messages.push_back(
                    {Kind::warning, {MessageId::editUnmapped, input, Message(MessageId::placeNamed, place.Origin().Said(), place.Name()), character}});
            place.SetRecord(std::move(record));
        }
        CSaveFile out;
        if (!out.Open(strEdited, &error)) throw error;
        WritePlaces(*format, out, read.places.data(), read.places.size(), WriteOptions());
        out.Commit();
    } catch (const CFileException& error) {
        messages.push_back({Kind::failure, CommandFailureMessage(error)});
        return false;
    } catch (const MapError& error) {
        messages.push_back({Kind::failure, error.Said()});
        return false;
    }
    return true;
}

#include "pipeline/Conversion.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "formats/FormatRegistry.h"
#include "glorie/FileErrorText.h"
#include "mempoint/CMemPointStore.h"
#include "mempoint/MemPointFormat.h"
#include "pipeline/ConversionInput.h"
#include "pipeline/DatumStage.h"
#include "pipeline/InputListing.h"
#include "pipeline/InputLoader.h"
#include "pipeline/InputReader.h"
#include "pipeline/ReadingGiver.h"
#include "pipeline/SetWriter.h"
#include "pipeline/UnitRecords.h"
#include "pipeline/UnitTally.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "platform/CSaveFile.h"
#include "platform/HostSystem.h"
#include "platform/OutputSet.h"
#include "platform/PathSplit.h"
#include "platform/StandardOutput.h"
#include "text/MapError.h"

namespace {
using Kind = ConversionMessage::Kind;
using Step = MessageOrder::Step;

constexpr std::size_t kBatchRows = 65536;

// The input is read a batch at a time: a table whose places (24 bytes each) would take more than
// its text, or every table when batches are asked for.
bool ReadInBatches(const Format& format, const std::string& bytes, std::size_t batchRows) {
    if (!format.openBatches) return false;
    return batchRows > 0 || static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) * sizeof(Place) > bytes.size();
}
}  // namespace

// Every place of the output, in order, a batch at a time: the places of the inputs held in
// memory, and those of the inputs read in batches read again (said nothing the second time).
// Before it is read, it counts the places and their methods for the output's names and
// descriptions.
class Conversion::Feed {
public:
    struct Part {
        CString name;
        const Format* format = nullptr;
        std::unique_ptr<PlaceBatches> batches;  // null: the places are held
        std::vector<Place> places;
    };

    Feed(Conversion& owner, std::size_t perFile) : m_owner(owner), m_perFile(perFile) {}
    std::vector<Part>& Parts() { return m_parts; }
    // Places kept for the output, counted in order.
    void Count(const std::vector<Place>& places) {
        for (const Place& place : places) {
            const std::size_t member = m_perFile > 0 ? m_count / m_perFile : 0;
            if (member >= m_methods.size()) m_methods.resize(member + 1);
            ++m_methods[member][static_cast<std::size_t>(place.Method())];
            ++m_count;
        }
    }
    std::size_t Size() const { return m_count; }
    std::array<std::size_t, 3> Methods(std::size_t member) const { return member < m_methods.size() ? m_methods[member] : std::array<std::size_t, 3>{}; }
    // The next places, at most most of them.
    bool Next(const Place*& places, std::size_t& count, std::size_t most);

private:
    bool Advance();

    Conversion& m_owner;
    std::size_t m_perFile;
    std::vector<Part> m_parts;
    std::size_t m_count = 0;
    std::vector<std::array<std::size_t, 3>> m_methods;  // a member's
    std::size_t m_part = 0;
    bool m_started = false;  // the current part's places begun
    std::vector<Place> m_batch;
    const Place* m_data = nullptr;
    std::size_t m_size = 0, m_at = 0;
};

bool Conversion::Feed::Next(const Place*& places, std::size_t& count, std::size_t most) {
    while (m_at == m_size)
        if (!Advance()) return false;
    places = m_data + m_at;
    count = std::min(most, m_size - m_at);
    m_at += count;
    return true;
}

bool Conversion::Feed::Advance() {
    for (; m_part < m_parts.size(); ++m_part, m_started = false) {
        Part& part = m_parts[m_part];
        if (!part.batches) {
            if (m_started) continue;
            m_started = true;
            m_data = part.places.data();
            m_size = part.places.size();
            m_at = 0;
            return true;
        }
        if (!m_started) part.batches->Rewind();
        m_started = true;
        MapReadResult read;
        if (!part.batches->Next(m_owner.m_options.batchRows ? m_owner.m_options.batchRows : kBatchRows, read)) continue;
        m_owner.m_say.SayOnly(MessageOrder::kSteps);
        ConversionInput input;
        input.say = &m_owner.m_say;
        input.name = part.name;
        input.format = part.format;
        std::vector<ConversionMessage> unsaid;
        UnitTally tally;
        try {
            m_owner.m_reader.Accept(input, std::move(read), unsaid);
            m_owner.Prepare(input, tally, unsaid, MessageOrder::kSteps);
        } catch (...) {
            m_owner.m_say.SayOnly(MessageOrder::kAnyStep);
            throw;
        }
        m_owner.m_say.SayOnly(MessageOrder::kAnyStep);
        m_batch = std::move(input.places);
        m_data = m_batch.data();
        m_size = m_batch.size();
        m_at = 0;
        return true;
    }
    return false;
}

namespace {
// The places of one member of the output.
class MemberPlaces : public PlaceSource {
public:
    MemberPlaces(std::function<bool(const Place*&, std::size_t&, std::size_t)> next, std::size_t count,
                 std::array<std::size_t, 3> methods)
        : m_next(std::move(next)), m_left(count), m_methods(methods) {}
    bool Next(const Place*& places, std::size_t& count) override {
        if (m_left == 0 || !m_next(places, count, m_left)) return false;
        m_left -= count;
        return true;
    }
    std::array<std::size_t, 3> Methods() const override { return m_methods; }

private:
    std::function<bool(const Place*&, std::size_t&, std::size_t)> m_next;
    std::size_t m_left;
    std::array<std::size_t, 3> m_methods;
};

// A set's members, each written by writer; one that cannot be opened is said as the command line
// and the page say it.
template <typename Writer>
class SaidMembers final : public SetMembers {
public:
    SaidMembers(Writer writer, MessageOrder& say, ConversionResult& result) : m_writer(std::move(writer)), m_say(say), m_result(result) {}
    void Write(CSaveFile& file, std::size_t k) override { m_writer(file, k); }
    void OpenFailed(const CFileException& error, const CString& strName) override {
        m_say.Say(m_result.messages, {Kind::failure, SetWriter::OpenFailure(error, strName)});
    }

private:
    Writer m_writer;
    MessageOrder& m_say;
    ConversionResult& m_result;
};
}  // namespace

Conversion::Conversion(ConversionOptions options) : m_options(options),
                                                    m_loader(m_say),
                                                    m_reader(m_options, m_say, m_loader),
                                                    m_datum(m_options, m_say),
                                                    m_readings(m_options, m_say),
                                                    m_unit(m_options, m_say, m_readings),
                                                    m_writer(m_say),
                                                    m_listing(m_say, m_reader, m_datum, m_unit) {
    m_options.read.eachPoint = m_options.eachPoint;
    if (!m_options.target) m_options.target = FormatRegistry::Find("glorie");
}

Conversion::~Conversion() = default;

void Conversion::SetMessageSink(MessageSink sink) { m_say.SetSink(std::move(sink)); }

void Conversion::SetStandardInput(std::string bytes, const Format* format) { m_loader.SetStandardInput(std::move(bytes), format); }

void Conversion::SetEdits(InputEdits edits) {
    m_options.edits = std::move(edits);
    m_loader.ForgetEdited();
}

std::vector<CString> Conversion::ApplyEdits(std::vector<ConversionMessage>& messages) {
    std::vector<CString> edited;
    for (const auto& [input, points] : m_options.edits.points) {
        // Under the input's own file name: the page's inputs are names in one folder.
        const CString document = m_options.edits.folder + "/" + CString(input.substr(input.find_last_of("/\\") + 1));
        std::vector<ConversionMessage> said;
        if (WriteEditedInput(CString(input), points, document, said)) {
            m_loader.SetEdited(input, document);
            edited.emplace_back(input);
        }
        for (ConversionMessage& message : said) m_say.Say(messages, std::move(message));
    }
    return edited;
}

std::vector<CString> Conversion::SplitNames(const CString& strOutput, int count) {
    if (count <= 1) return {strOutput};
    const PathParts parts = SplitPath(strOutput);
    std::vector<CString> names;
    // Numbers as wide as the last one's, zero-padded (NAME-01 ... NAME-15): a shell's glob, a file
    // manager and --merge of NAME-* then take the members in order.
    const std::size_t width = std::to_string(count).size();
    for (int k = 1; k <= count; ++k) {
        std::string number = std::to_string(k);
        number.insert(0, width - number.size(), '0');
        names.push_back(MakePath(parts.drive, parts.dir, parts.fname + "-" + number.c_str(),
                                 parts.ext.IsEmpty() ? CString() : parts.ext.Mid(1)));
    }
    return names;
}

bool Conversion::Prepare(ConversionInput& input, UnitTally& tally, std::vector<ConversionMessage>& messages, Step last) {
    if (last < MessageOrder::kShiftStep) return true;
    input.keepOriginal = Target().unit;
    m_say.SetStep(MessageOrder::kShiftStep);
    m_datum.Shift(input, Target().datum == FormatDatum::tokyo, tally, messages);
    m_say.SetStep(MessageOrder::kAnyStep);
    if (last < MessageOrder::kUnitStep) return true;
    m_say.SetStep(MessageOrder::kUnitStep);
    const bool bUsable = !Target().unit || m_unit.Make(input, messages, nullptr, tally);
    if (m_readings.GivesTableReadings()) {
        std::string name;
        for (std::size_t i = 0; i < input.places.size(); ++i)
            if (!input.refused[i]) {
                Place& place = input.places[i];
                m_readings.GiveReading(place, place.Record() ? 0 : ReadingGiver::UnitPartBytes(place.NameView(name)), name, messages, tally.unread);
            }
    }
    m_say.SetStep(MessageOrder::kAnyStep);
    // The points kept are moved down in place: a second vector of every place would double
    // the memory of a large input.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < input.places.size(); ++i)
        if (!input.refused[i]) {
            if (kept != i) input.places[kept] = std::move(input.places[i]);
            ++kept;
        }
    input.places.resize(kept);
    return bUsable;
}

void Conversion::Write(Feed& feed, const CString& strOutput, const std::vector<CString>& inputs, ConversionResult& result) {
    const Format& format = Target();
    const std::size_t count = feed.Size();
    const std::size_t perFile = format.pointsPerFile > 0 ? static_cast<std::size_t>(format.pointsPerFile) : count;
    const std::size_t files = perFile == 0 || count <= perFile ? 1 : (count + perFile - 1) / perFile;
    const std::vector<CString> names = SplitNames(strOutput, static_cast<int>(files));
    std::vector<CString> removed;  // members of the old set that the new one has not
    std::vector<CString> left;     // files with members' names that were not the old set's
    const auto writeMember = [&](ByteSink& sink, std::size_t k) {
        const std::size_t first = k * perFile;
        MemberPlaces member([&feed](const Place*& places, std::size_t& n, std::size_t most) { return feed.Next(places, n, most); },
                            std::min(count, first + perFile) - first, feed.Methods(k));
        WriteOptions options = m_options.write;
        options.guessMarks = m_readings.GivesTableReadings() && m_options.guessReadings;
        format.write(sink, member, options);
    };
    try {
        if (m_stream) {
            // A stream holds one document: nothing of a split output goes out.
            if (files > 1) {
                result.splitInto = files;
                return;
            }
            try {
                writeMember(*m_stream, 0);
                m_stream->Finish();
            } catch (const CFileException& error) {
                m_say.Say(result.messages, {Kind::failure, CommandFailureMessage(error)});
                return;
            }
        } else {
            SaidMembers members([&](CSaveFile& file, std::size_t k) { writeMember(file, k); }, m_say, result);
            const bool bWritten = m_writer.Write(strOutput, names, inputs, members, result, removed, left);
            if (!bWritten) return;
        }
    } catch (const MapError& error) {
        m_say.Say(result.messages, {Kind::failure, error.Said()});
        return;
    }
    const std::string from = SetWriter::JoinedNames(inputs);
    for (std::size_t k = 0; k < files; ++k) {
        const std::size_t first = k * perFile;
        m_say.Say(result.messages, {Kind::written, {std::min(count, first + perFile) - first == 1 ? MessageId::writtenOne : MessageId::written, from, names[k].Str(), std::min(count, first + perFile) - first}});
        result.outputs.push_back(names[k]);
    }
    result.written += count;
    m_writer.SayRemoved(removed, left, result);
}

ConversionResult Conversion::Convert(const std::vector<CString>& inputs, const CString& strOutput) {
    if (!m_stream && RecordForRecord(inputs)) return ConvertRecords(inputs[0], strOutput);
    ConversionResult result;
    bool bUsable = true;
    Feed feed(*this, Target().pointsPerFile > 0 ? static_cast<std::size_t>(Target().pointsPerFile) : 0);
    for (const CString& name : inputs) {
        ConversionInput loaded;
        std::string bytes;
        if (!m_loader.Load(name, loaded, bytes, result.messages)) return result;
        Feed::Part part;
        part.name = name;
        part.format = loaded.format;
        // A table of millions of short rows is read a batch at a time, now to say what its rows
        // are and count its places, again when they are written; any other input is held whole.
        UnitTally tally;
        try {
            if (ReadInBatches(*loaded.format, bytes, m_options.batchRows)) {
                part.batches = loaded.format->openBatches(std::move(bytes), name.Str(), m_options.read);
                const std::size_t rows = m_options.batchRows ? m_options.batchRows : kBatchRows;
                // The reader's messages said and the places counted; then, where another step had
                // any, the rows once more for each such step's.
                std::array<std::size_t, MessageOrder::kSteps> unsaid = {};
                for (int step = MessageOrder::kReaderStep; step < MessageOrder::kSteps; ++step) {
                    if (step > MessageOrder::kReaderStep && unsaid[static_cast<std::size_t>(step)] == 0) continue;
                    if (step > MessageOrder::kReaderStep) part.batches->Rewind();
                    m_say.SayOnly(static_cast<Step>(step));
                    UnitTally uncounted;
                    for (MapReadResult read; part.batches->Next(rows, read);) {
                        ConversionInput input;
                        input.say = &m_say;
                        input.name = name;
                        input.format = loaded.format;
                        m_reader.Accept(input, std::move(read), result.messages);
                        if (step > MessageOrder::kReaderStep) {
                            Prepare(input, uncounted, result.messages, static_cast<Step>(step));
                            continue;
                        }
                        bUsable = Prepare(input, tally, result.messages, MessageOrder::kSteps) && bUsable;
                        result.refused += input.refusedCount;
                        feed.Count(input.places);
                    }
                    if (step == MessageOrder::kReaderStep) unsaid = m_say.Unsaid();
                }
                m_say.SayOnly(MessageOrder::kAnyStep);
            } else {
                MapReadResult read = loaded.format->read(std::move(bytes), name.Str(), m_options.read);
                m_reader.Accept(loaded, std::move(read), result.messages);
                bUsable = Prepare(loaded, tally, result.messages, MessageOrder::kSteps) && bUsable;
                result.refused += loaded.refusedCount;
                feed.Count(loaded.places);
                part.places = std::move(loaded.places);
            }
        } catch (const MapError& error) {
            m_say.SayOnly(MessageOrder::kAnyStep);
            m_loader.Fail(name, error.Said(), result.messages);
            return result;
        }
        tally.Say(name, m_say, result.messages);
        feed.Parts().push_back(std::move(part));
    }
    if (!bUsable) {
        m_say.Say(result.messages, {Kind::failure, {MessageId::strictNotWritten, strOutput.Str()}});
        return result;
    }
    const std::string from = SetWriter::JoinedNames(inputs);
    // Every point refused: an empty document would replace a good one for nothing.
    const bool bNothing = feed.Size() == 0 && result.refused > 0;
    if (!bNothing) Write(feed, strOutput, inputs, result);
    if (result.refused > 0)
        m_say.Say(result.messages, {Kind::failure, {result.refused == 1 ? MessageId::pointNotConverted : MessageId::pointsNotConverted, from, result.refused}});
    if (bNothing) m_say.Say(result.messages, {Kind::failure, {MessageId::nothingToWrite, strOutput.Str()}});
    result.ok = !result.outputs.empty() && result.refused == 0;
    return result;
}

bool Conversion::RecordForRecord(const std::vector<CString>& inputs) const {
    if (!m_options.recordForRecord || inputs.size() != 1 || inputs[0].Str() == "-" || &Target() != FormatRegistry::Find("glorie"))
        return false;
    const Format* byName = FormatRegistry::ForInputPath(inputs[0].Str());
    return !byName || byName == FormatRegistry::Find("mem");
}

ConversionResult Conversion::ConvertRecords(const CString& strInput, const CString& strOutput) {
    using Stop = ConversionResult::Stop;
    ConversionResult result;
    const Format& mem = *FormatRegistry::Find("mem");
    const bool bDocument = m_options.oneDocument;
    // The store's words, for the dialog; the command line's name a folder, a missing file (a
    // mistyped extension) or a short one by name and size, as the store's reason says less.
    const auto notRead = [&](const Message& words) {
        result.stop = Stop::notRead;
        result.readFailure = Words(words);
        if (bDocument) return result;
        const Message problem = InputLoader::Problem(strInput, true);
        if (problem.id != MessageId::text)
            m_say.Say(result.messages, {Kind::failure, problem});
        else if (!result.readFailure.empty())
            m_say.Say(result.messages, {Kind::failure, words});
        if (!IsFolder(strInput)) m_say.Say(result.messages, {Kind::failure, {MessageId::inputNotRead, strInput.Str()}});
        return result;
    };
    std::vector<CString> removed, left;
    std::size_t count = 0;
    try {
        // A name no format takes is never opened: the unit's reader refuses it, as the store did.
        std::string bytes;
        if (FormatRegistry::ForInputPath(strInput.Str()) == &mem) {
            CFile file;
            CFileException error;
            // The dialog's input is its own while it is read; another run reading it is no
            // reason for the command line to fail.
            const unsigned share = bDocument ? CFile::shareExclusive : CFile::shareDenyWrite;
            if (!file.Open(bDocument ? strInput : m_loader.SourceOf(strInput), CFile::modeRead | share, &error))
                return notRead(CMemPointStore::OpenErrorMessage(error));
            const std::uint64_t length = file.GetLength();
            if (length == mempoint::kFileSize) {
                bytes.resize(mempoint::kFileSize);
                if (file.Read(&bytes[0], mempoint::kFileSize) != mempoint::kFileSize)
                    throw CFileException(CFileException::endOfFile, -1, file.GetFilePath());
            }
            file.Close();
        }
        ReadOptions options = m_options.read;
        options.asStored = true;
        MapReadResult read;
        try {
            read = mem.read(std::move(bytes), strInput.Str(), options);
        } catch (const MapError& error) {
            return notRead(error.Said());
        }
        count = read.places.size();
        const auto write = [&](CSaveFile& file) {
            PlaceArray places(read.places.data(), count);
            Target().write(file, places, m_options.write);
        };
        if (bDocument) {
            OutputSet document(strOutput, OutputSet::Mode::document);
            CSaveFile* file = nullptr;
            try {
                file = &document.Add(strOutput);
            } catch (const CFileException& error) {
                result.stop = Stop::notOpened;
                result.error = error;
                return result;
            }
            write(*file);
            document.Commit();
        } else {
            SaidMembers members([&](CSaveFile& file, std::size_t) { write(file); }, m_say, result);
            if (!m_writer.Write(strOutput, {strOutput}, {strInput}, members, result, removed, left)) return result;
        }
    } catch (const CFileException& error) {
        result.stop = Stop::failed;
        result.error = error;
        if (!bDocument) m_say.Say(result.messages, {Kind::failure, CommandFailureMessage(error)});
        return result;
    }
    if (!bDocument) m_say.Say(result.messages, {Kind::written, {count == 1 ? MessageId::writtenOne : MessageId::written, strInput.Str(), strOutput.Str(), count}});
    result.outputs.push_back(strOutput);
    result.written = count;
    m_writer.SayRemoved(removed, left, result);
    result.ok = true;
    return result;
}

ListResult Conversion::List(const CString& strInput) { return m_listing.List(strInput); }

#pragma once
// The readings given to places without one, half-width as the unit takes them: the user's
// entries, the place names' own readings where the name holds one, else the guesser's.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/ConversionMessage.h"
#include "places/Place.h"

class MessageOrder;
class ReadingGuesser;
struct ConversionOptions;

class ReadingGiver {
public:
    ReadingGiver(const ConversionOptions& options, MessageOrder& say);
    ~ReadingGiver();
    ReadingGiver(const ReadingGiver&) = delete;
    ReadingGiver& operator=(const ReadingGiver&) = delete;

    // The part of a name the unit keeps, in bytes: the characters of its first 16 CP932 bytes (one
    // byte for ASCII and half-width kana, two for the rest). Only that part goes to the reading
    // guesser, so a 30 MB name costs no more than a short one.
    static std::size_t UnitPartBytes(std::string_view name);

    // A place without a reading gets the user's or the guesser's (ReadingOf), half-width as the
    // unit takes it and no longer than its field tells apart, marked when guessed; unread counts
    // the names the guesser could not read. Returns whether it was guessed.
    bool GiveReading(Place& place, std::size_t kept, std::string& scratch, std::vector<ConversionMessage>& messages, std::size_t& unread);
    // A table's places get their readings as the unit's would, each guess marked 推測, so that a
    // driver can check them and hand the corrected table back as --readings.
    bool GivesTableReadings() const;

private:
    bool Say(std::vector<ConversionMessage>& messages, ConversionMessage message);
    ReadingGuesser* Guesser(std::vector<ConversionMessage>& messages);
    // The reading of a place without one, half-width as the unit takes it: the user's entries
    // wherever the name holds them, else the municipality's own (the one nearest latitude,
    // longitude) or the guesser's (guessed set); empty when none.
    // unitBytes: the bytes of the name the unit's field holds.
    std::string ReadingOf(std::string_view name, std::size_t unitBytes, double latitude, double longitude, bool& guessed,
                          std::vector<ConversionMessage>& messages);

    const ConversionOptions& m_options;
    MessageOrder& m_say;
    std::string m_guesserWarning;  // why readings are not guessed, until said
    std::unique_ptr<ReadingGuesser> m_guesser;
    bool m_bGuesserTried = false;
};

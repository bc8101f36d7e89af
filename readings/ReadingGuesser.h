#pragma once
// Readings for names that come without one, from a morphological analyser when the build has one.
// The analyser (MeCab, linked in or loaded) opens its dictionary when a reading is first guessed.
#include <memory>
#include <string>

#include "platform/DataFolder.h"
#include "text/Message.h"

class PlaceReadings;

class ReadingGuesser {
public:
    virtual ~ReadingGuesser() = default;
    // The reading of a UTF-8 name as full-width katakana (UTF-8); empty when none is known.
    virtual std::string Guess(const std::string& name) = 0;
    // The same as ToHalfWidthKatakana makes it, the form the unit takes.
    virtual std::string GuessHalfWidth(const std::string& name);

    // Null when the build has no analyser, or the analyser or its dictionary cannot be loaded;
    // then *whyNot, when given, says which. The place names' readings come from data's folder
    // when the dictionary's has none.
    static std::unique_ptr<ReadingGuesser> Create(Message* whyNot = nullptr,
                                                  const DataFolder& data = DataFolder::FromEnvironment());
    // With the given place names' readings instead of the file the programs have.
    static std::unique_ptr<ReadingGuesser> Create(std::shared_ptr<const PlaceReadings> places);
    // Reads only names written in kana, digits, Latin letters and marks (as every analyser
    // does): for a build without the analyser, or when it cannot be loaded.
    static std::unique_ptr<ReadingGuesser> Written();
    // For --version: e.g. "MeCab 0.996"; "なし: " and the reason when it cannot be loaded; empty
    // when the build has none.
    static std::string Backend();

private:
    static std::unique_ptr<ReadingGuesser> Open(std::shared_ptr<const PlaceReadings> places, Message* whyNot,
                                                const DataFolder& data);
};

// Hiragana and full-width katakana (with voiced and semi-voiced marks, the long-vowel mark)
// as half-width katakana; every other character unchanged. UTF-8 in and out.
std::string ToHalfWidthKatakana(const std::string& text);

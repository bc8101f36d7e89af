#include "convert/CPoiTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

namespace {
void ExpectDefaults(const PoiEntry& entry, int index) {
    EXPECT_EQ(entry.index, index);
    EXPECT_EQ(entry.name, "");
    EXPECT_EQ(entry.reading, "");
    EXPECT_EQ(entry.longitude, "");
    EXPECT_EQ(entry.latitude, "");
    EXPECT_EQ(entry.digits, "");
}

void Scribble(PoiEntry& entry) {
    entry.name = "n";
    entry.reading = "r";
    entry.longitude = "1.00000";
    entry.latitude = "2.00000";
    entry.digits = "123";
}

TEST(CPoiTable, NewTableIsFreeWithDefaults) {
    const auto table = std::make_unique<CPoiTable>();
    EXPECT_EQ(table->GetCount(), 0);
    for (int i = 0; i < CPoiTable::kCapacity; ++i) ExpectDefaults(table->Entry(i), -1);
}

TEST(CPoiTable, CountsTheLeadingRunOfUsedEntries) {
    struct Case {
        const char* what;
        int used;   // positions 0 .. used-1 are reset as used
        int freed;  // then this one is freed again (-1: none)
        int extra;  // and this one is used (-1: none)
        int expected;
    };
    const Case cases[] = {
        {"five used", 5, -1, -1, 5},
        {"a gap stops the count", 3, -1, 4, 3},
        {"a used entry after a freed one", 5, 3, -1, 3},
        {"first free", 0, -1, 1, 0},
        {"all used", CPoiTable::kCapacity, -1, -1, CPoiTable::kCapacity},
        {"last free", CPoiTable::kCapacity, CPoiTable::kCapacity - 1, -1, CPoiTable::kCapacity - 1},
    };
    for (const Case& c : cases) {
        const auto table = std::make_unique<CPoiTable>();
        for (int i = 0; i < c.used; ++i) table->ResetEntry(i);
        if (c.freed >= 0) table->Entry(c.freed).index = -1;
        if (c.extra >= 0) table->ResetEntry(c.extra);
        EXPECT_EQ(table->GetCount(), c.expected) << c.what;
    }
}

TEST(CPoiTable, ResetEntryRestoresDefaultsAndMarksThePosition) {
    const auto table = std::make_unique<CPoiTable>();
    for (int position : {0, 5, 699}) {
        Scribble(table->Entry(position));
        table->ResetEntry(position);
        ExpectDefaults(table->Entry(position), position);
    }
    ExpectDefaults(table->Entry(1), -1);
}

TEST(CPoiTable, ResetFreesEveryEntryAgain) {
    const auto table = std::make_unique<CPoiTable>();
    for (int i = 0; i < 10; ++i) {
        table->ResetEntry(i);
        Scribble(table->Entry(i));
    }
    table->Reset();
    for (int i = 0; i < 3; ++i) table->ResetEntry(i);
    EXPECT_EQ(table->GetCount(), 3);
    for (int i = 0; i < 3; ++i) ExpectDefaults(table->Entry(i), i);
    for (int i = 3; i < CPoiTable::kCapacity; ++i) ExpectDefaults(table->Entry(i), -1);
}

TEST(CPoiTable, FillOperationsSetOneFieldEach) {
    const auto table = std::make_unique<CPoiTable>();
    table->ResetEntry(2);
    const CString name("0123456789ABCDEFGHIJ");
    const CString longitude("139.46.44.040");
    const CString latitude(" 35.39.29.157");
    table->SetName(name, 2);
    table->SetLongitude(longitude, 2);
    table->SetLatitude(latitude, 2);
    table->SetReading("\xB1\xB2\x82", 2);  // a dangling lead byte in the reading is kept
    table->SetDigits("0312345678", 2);
    const PoiEntry& entry = table->Entry(2);
    EXPECT_EQ(entry.index, 2);
    EXPECT_EQ(entry.name, "0123456789ABCDEF");
    EXPECT_EQ(entry.longitude, "139.77890");
    EXPECT_EQ(entry.latitude, "35.65810");
    EXPECT_EQ(entry.reading, "\xB1\xB2\x82");
    EXPECT_EQ(entry.digits, "0312345678");
    EXPECT_EQ(name, "0123456789ABCDEFGHIJ");
    EXPECT_EQ(longitude, "139.46.44.040");
    EXPECT_EQ(latitude, " 35.39.29.157");
    ExpectDefaults(table->Entry(1), -1);
    ExpectDefaults(table->Entry(3), -1);
}
// Entries are held by reference while others are filled: no position moves one, and a position
// outside the table is refused rather than written past it.
TEST(CPoiTable, EntriesStayInPlaceAndPositionsOutsideAreRefused) {
    const auto table = std::make_unique<CPoiTable>();
    table->ResetEntry(0);
    const PoiEntry* first = &table->Entry(0);
    table->ResetEntry(CPoiTable::kCapacity - 1);
    EXPECT_EQ(&table->Entry(0), first);
    for (const int position : {-1, CPoiTable::kCapacity, CPoiTable::kCapacity * 100}) {
        EXPECT_THROW(table->Entry(position), std::out_of_range) << position;
        EXPECT_THROW(table->SetName("x", position), std::out_of_range) << position;
    }
    EXPECT_EQ(table->GetCount(), 1);
    ExpectDefaults(table->Entry(CPoiTable::kCapacity - 1), CPoiTable::kCapacity - 1);
}
}  // namespace

#include "convert/ConversionDriver.h"

#include <utility>

void ResetPoiTable(CPoiTable& table) { table.Reset(); }

int ConvertPoints(const CMemPointStore& store, CPoiTable& table, const CString& strOutputFile,
                  CFileException& openError) {
    FillPoiTable(store, table);
    return table.WriteGlorie(strOutputFile, openError);
}

void FillPoiTable(const CMemPointStore& store, CPoiTable& table) {
    const int count = store.GetCount();
    // Each text is handed on, not copied: the store refills it for the next field.
    CString text;
    CString longitude;
    CString latitude;
    for (int i = 0; i < count; ++i) {
        table.ResetEntry(i);
        store.GetName(text, i);
        table.SetName(std::move(text), i);
        store.GetLongitude(longitude, i);
        store.GetLatitude(latitude, i);
        table.SetLongitude(std::move(longitude), i);
        table.SetLatitude(std::move(latitude), i);
        store.GetReading(text, i);
        table.SetReading(std::move(text), i);
        store.GetDigits(text, i);
        table.SetDigits(std::move(text), i);
    }
}

#include "cli/PointList.h"

#include "cli/TerminalText.h"

void FillPoiTable(const CMemPointStore& store, CPoiTable& table) {
    table.Reset();
    CString text;
    CString latitude;
    for (int i = 0; i < store.GetCount(); ++i) {
        table.ResetEntry(i);
        store.GetName(text, i);
        table.SetName(text, i);
        store.GetLongitude(text, i);
        store.GetLatitude(latitude, i);
        table.SetLongitude(text, i);
        table.SetLatitude(latitude, i);
        store.GetReading(text, i);
        table.SetReading(text, i);
        store.GetDigits(text, i);
        table.SetDigits(text, i);
    }
}

void WritePointList(std::ostream& out, const CString& strInput, const CPoiTable& table) {
    const int count = table.GetCount();
    out << strInput.Str() << " (" << count << " 地点)\n";
    out << "番号\t名称\t読み\t緯度\t経度\t数字\n";
    for (int i = 0; i < count; ++i) {
        const PoiEntry& entry = table.Entry(i);
        out << (i + 1) << '\t' << Cp932ToTerminal(entry.name.Str()) << '\t' << Cp932ToTerminal(entry.reading.Str())
            << '\t' << entry.latitude.Str() << '\t' << entry.longitude.Str() << '\t'
            << Cp932ToTerminal(entry.digits.Str()) << '\n';
    }
}

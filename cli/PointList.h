#pragma once
// The --list view of a memory-point file: its points as the document would carry them.
#include <ostream>

#include "convert/CPoiTable.h"
#include "mempoint/CMemPointStore.h"

// Fills the table from the store with the table's own fill operations, as a conversion does,
// without writing a document.
void FillPoiTable(const CMemPointStore& store, CPoiTable& table);

// A title line, a header line and one tab-separated line a point, numbered from 1.
void WritePointList(std::ostream& out, const CString& strInput, const CPoiTable& table);

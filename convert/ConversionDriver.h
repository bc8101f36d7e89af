#pragma once
// Fills the table from the loaded store and has it written: shared by the dialog and the CLI.
#include "convert/CPoiTable.h"
#include "mempoint/CMemPointStore.h"

void ResetPoiTable(CPoiTable& table);
// Fills the table from the store, as ConvertPoints does before writing.
void FillPoiTable(const CMemPointStore& store, CPoiTable& table);
// The writer's result: 0 written, -1 the output could not be opened. Write failures propagate.
int ConvertPoints(const CMemPointStore& store, CPoiTable& table, const CString& strOutputFile);

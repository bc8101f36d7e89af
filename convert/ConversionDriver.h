#pragma once
// Fills the table from the loaded store and has it written: shared by the dialog and the CLI.
#include "convert/CPoiTable.h"
#include "mempoint/CMemPointStore.h"
#include "platform/CFileException.h"
#include "platform/CString.h"

// What converting one memory-point file into the document a user chose came to, as a value:
// each front tells it its own way (the dialog in its boxes, in the order it always has).
struct MemPointOutcome {
    enum class Stage {
        converted,  // the document is in place
        notRead,    // the store refused the input; message says why (may be empty)
        notOpened,  // the output could not be opened; error has the cause
        failed,     // a file failure while reading or writing: error, the old output untouched
    };
    Stage stage = Stage::failed;
    CString message;
    CFileException error;
    int points = 0;
};

void ResetPoiTable(CPoiTable& table);
// Fills the table from the store, as ConvertPoints does before writing.
void FillPoiTable(const CMemPointStore& store, CPoiTable& table);
// The writer's result: 0 written, -1 the output could not be opened (openError says why). Write
// failures propagate.
int ConvertPoints(const CMemPointStore& store, CPoiTable& table, const CString& strOutputFile,
                  CFileException& openError);

#pragma once
// One memory-point file held in memory, its records decoded to text on request.
#include <cstddef>
#include <cstdint>

#include "mempoint/MemPointFormat.h"
#include "platform/CFileException.h"
#include "platform/CString.h"
#include "text/Message.h"

// What a load came to, as a value: the store shows nothing itself; each caller gives message its
// own way (the dialogs' box, the command line's standard error, the page's list).
struct StoreLoadResult {
    int status = 0;   // 0 loaded, -1 not (image and count unchanged)
    CString message;  // why not; empty when nothing is to be said
};

class CMemPointStore {
public:
    enum CoordinateField {
        longitude = 8,
        latitude = 12
    };

    CMemPointStore();

    // Opened exclusively, as the dialog opens it. A failure while reading the opened file leaves
    // as a CFileException.
    StoreLoadResult Read(const CString& strPath);
    int GetCount() const { return count; }
    // A file's bytes already read: false (image and count unchanged) unless they are a file's size.
    bool LoadImage(const unsigned char* bytes, std::size_t size);
    // The message Read gives for a file it does not recognise, and for one it cannot open.
    static CString UnrecognisedFileText(const CString& strPath);
    static CString OpenErrorText(const CFileException& error);
    // The same as the message table words it, for a front in another language.
    static Message OpenErrorMessage(const CFileException& error);

    void GetName(CString& out, int index) const;
    void GetReading(CString& out, int index) const;
    void GetDigits(CString& out, int index) const;
    void GetLongitude(CString& out, int index) const;
    void GetLatitude(CString& out, int index) const;

    void Reset();
    int CountUsed() const;
    std::uint32_t DecodeCoordinate(int index, CoordinateField field) const;
    static void FormatDms(char* buffer, std::uint32_t value);  // buffer of at least 14 bytes

    const unsigned char* Image() const { return image; }

private:
    int count = 0;
    unsigned char image[mempoint::kFileSize];
};

#pragma once
// The main dialog's logic: names, checks, conversion and messages, over IMainDlgUi.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "app/IMainDlgUi.h"
#include "platform/CString.h"

class Conversion;

// What a map file's conversion came to, for the dialog's boxes.
struct MapConversionOutcome {
    std::vector<std::string> notes;     // warnings and refused points, UTF-8, the first ones only
    std::size_t notesLeftOut = 0;       // the notes after those, counted
    std::vector<std::string> failures;  // what stopped a document, and the count of points left out
    std::vector<CString> outputs;       // the documents written
    std::size_t points = 0;             // the points in them
};

class CMainDlg {
public:
    static constexpr int kDirSize = 260;

    // The files the dialog converts, all through the conversion of pipeline/: memory-point files
    // only, or the map files the command line reads too (into glorie documents, as its
    // "--to glorie" makes them).
    enum class Inputs {
        memPointFiles,
        all
    };
    explicit CMainDlg(IMainDlgUi& ui, Inputs inputs = Inputs::memPointFiles);
    ~CMainDlg();
    CMainDlg(const CMainDlg&) = delete;
    CMainDlg& operator=(const CMainDlg&) = delete;

    // Entry points of the front ends. Each runs its handler so that a file failure leaving it is
    // reported (stop icon, application caption) and the dialog stays usable.
    // strCmdLine: the text after the program's own name and the blanks that follow it. Writes
    // the (empty) names into the boxes first, as the framework's data exchange does; the system
    // menu, icon and title are the front end's. Always true: the input box takes the focus.
    bool OnInitDialog(const CString& strCmdLine);
    bool OnCommand(int id);                               // false when the id is not the dialog's
    bool OnSysCommand(unsigned nID);                      // false: the front end does the default
    void OnDropFiles(const std::vector<CString>& names);  // full names, in drop order
    // The user changed the text of a name box: the files shown under the output box follow the
    // output name; a changed input is counted again only once it is chosen or converted.
    void OnBoxEdited();

    // Handlers.
    void OnOK();
    void OnCancel();
    void OnBrowseInput();
    void OnBrowseOutput();
    void OnHelpVersion();
    void InitFileNames(const CString& strCmdLine);

    static bool HasExtension(const CString& strName, const char* ext);
    void DeriveOutputName(const CString& strInput);
    // The memory-point road of the convert command: 0 converted, -1 after its boxes were shown.
    int ConvertPoints();
    // A map file's road of the convert command.
    void ConvertMapFile();
    // True when strInput is a map file the dialog converts: decided by its name, as the command
    // line decides it.
    bool TakesMapFile(const CString& strInput) const;
    // The input browse's filter: memory-point files first, then every other kind read.
    CString InputFilter() const;
    // What the line under the output box says of a map input's files for these names: the points
    // and, for a set, its first and last file; empty for a memory-point file or an unread input.
    // chosen: the input was just chosen (browsed, dropped, given at start-up) and is read again;
    // taken: read unless it was counted last; typed: only what was counted for it.
    enum class Count {
        chosen,
        taken,
        typed
    };
    CString OutputSetText(const CString& strInput, const CString& strOutput, Count count);

    CString m_strInputFile;
    CString m_strOutputFile;
    char m_szOutputDir[kDirSize] = {};
    char m_szInputDir[kDirSize] = {};

private:
    template <typename Handler>
    void Guarded(Handler handler);
    void UpdateData(bool bSaveAndValidate);
    // The stored names' files under the output box (after the names were chosen).
    void ProposeOutputSet(Count count);
    void ShowOutputSet(const CString& text);
    // A map file into strOutput (NAME-1.xml, NAME-2.xml, ... past a document's 700 points), its
    // first notesKept notes kept.
    MapConversionOutcome ConvertMap(const CString& strInput, const CString& strOutput, std::size_t notesKept);
    // The points a conversion of a map input writes, read now to show the names of its files;
    // false when it cannot be read (the conversion says why).
    bool CountPoints(const CString& strInput, std::size_t& points);

    IMainDlgUi& m_ui;
    Inputs m_inputs;
    // Kept between conversions: the grid and the reading guesser are loaded once.
    std::unique_ptr<Conversion> m_conversion;
    CString m_strCountedInput;  // the map input last counted, and its points
    bool m_bCounted = false;
    std::size_t m_nCountedPoints = 0;
    CString m_strOutputSet;  // the text under the output box
};

#pragma once
// Where the data that travels with the program is found (the datum grid and its corrections, the
// gazetteer, the place names' readings): one value, made once by whoever runs a conversion and
// passed to what reads such a file.
#include <string>

class DataFolder {
public:
    // chosen: the one folder looked in (the user's QUORVEL_DATA_DIR, the page's, a test's); empty:
    // the program's own data folder (data\ beside the Windows program, ../share/quorvel beside an
    // installed bin/), then on Linux the installed data folder, then the build's.
    explicit DataFolder(std::string chosen = std::string()) : m_strChosen(std::move(chosen)) {}
    // The folder QUORVEL_DATA_DIR names, else none chosen: the environment is read here alone.
    static DataFolder FromEnvironment();

    // The file's path: in the chosen folder; else in the first of the folders that holds it; else
    // where the installed program keeps it, to be named when it cannot be read.
    std::string PathOf(const std::string& name) const;
    const std::string& Chosen() const { return m_strChosen; }

private:
    std::string m_strChosen;
};

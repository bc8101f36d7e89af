#include "platform/OutputSet.h"

#include <utility>

OutputSet::OutputSet(CString strSetName) : m_strSetName(std::move(strSetName)) {}

OutputSet::~OutputSet() noexcept {
    for (auto& file : m_files) file->Abort();
}

CFile& OutputSet::Add(const CString& strFileName) {
    auto file = std::make_unique<CFile>();
    CFileException error;
    if (!file->Open(strFileName, CFile::modeCreate | CFile::modeWrite, &error)) {
        error.m_strFileName = strFileName;
        throw error;
    }
    m_files.push_back(std::move(file));
    return *m_files.back();
}

void OutputSet::Finish(CFile& file) { file.Flush(); }

void OutputSet::Commit() {
    for (auto& file : m_files) file->Flush();
    for (auto& file : m_files) file->Close();
    m_files.clear();
}

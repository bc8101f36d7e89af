#include "platform/OutputSet.h"

#include "platform/PathSplit.h"

bool OutputSet::IsMemberName(const CString& strSetFileName, const CString& strFileName) {
    const std::string& name = strFileName.Str();
    if (name == strSetFileName.Str()) return true;
    const PathParts set = SplitPath(strSetFileName);
    const std::string& stem = set.fname.Str();
    const std::string& ext = set.ext.Str();
    if (name.size() < stem.size() + 2 + ext.size()) return false;
    if (name.compare(0, stem.size(), stem) != 0 || name[stem.size()] != '-') return false;
    if (name.compare(name.size() - ext.size(), ext.size(), ext) != 0) return false;
    for (std::size_t i = stem.size() + 1; i < name.size() - ext.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

void OutputSet::Finish(CFile& file) { file.Flush(); }

CFile& OutputSet::OpenMember(const CString& strFileName) {
    auto file = std::make_unique<CFile>();
    CFileException error;
    if (!file->Open(strFileName, CFile::modeCreate | CFile::modeWrite, &error)) {
        error.m_strFileName = strFileName;
        throw error;
    }
    m_files.push_back(std::move(file));
    m_names.push_back(FullPathOf(strFileName.Str()));
    return *m_files.back();
}

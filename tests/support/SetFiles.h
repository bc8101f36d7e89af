#pragma once
// Output sets as the tests write and read them.
#include <map>
#include <string>

#include "support/TempDir.h"

// The member names a set's record holds ("record: set-1.xml set-2.xml"): its file identities
// differ from run to run and folder to folder, its names must not.
std::string RecordNames(const std::string& bytes);

// The path of a set's file in the user's state folder (suffix ".record", ".journal", ".lock",
// ".temps") for the set named setName in folder; the state folder is made when missing.
std::string StateFile(const std::string& folder, const std::string& setName, const std::string& suffix);

// Writes the members (name -> text) as one set named set.xml in dir; a failure leaves as the file
// layer's CFileException.
void CommitSet(const TempDir& dir, const std::map<std::string, std::string>& members);
// The same; "" when committed, else the failure as "CAUSE OSERROR NAME".
std::string WriteSet(const TempDir& dir, const std::map<std::string, std::string>& members);

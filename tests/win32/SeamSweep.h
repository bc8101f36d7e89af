#pragma once
#include <string>

// Every Win32 call of the seam failed in turn, in scratch (ends with a backslash); throws at the
// first report that lacks the file or the system's text, or a call no operation makes.
void TestEveryCallFailsInTurn(const std::string& scratch);

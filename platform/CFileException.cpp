#include "platform/CFileException.h"

const char* CFileException::what() const noexcept { return "CFileException"; }

#pragma once
// The about box, template 100, run modally over its owner.
#include <windows.h>

void RunWin32AboutBox(HINSTANCE hInstance, HWND hOwner);

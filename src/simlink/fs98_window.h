#pragma once
// A hidden window that stands for a simulator main window while the link exists.
#include <windows.h>

extern HWND Fs98MainWindow;

void CreateFs98MainWindow();
void DestroyFs98MainWindow();

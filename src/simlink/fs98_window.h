#pragma once
// A hidden window that stands for a simulator main window while the link exists.
#include <windows.h>

// Made by the link's start and destroyed by its end (simulator's thread only); a second make
// while one exists keeps that one.
void CreateFs98MainWindow();
void DestroyFs98MainWindow();
// Ours while a link has it, else null: the server's window is never this one.
HWND OwnFs98MainWindow();

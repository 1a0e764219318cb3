#pragma once
// Finding the ATC program's installation folder.

// Gives the folder of the ATC program's executable, ending in a backslash, as a new text on the
// process heap that the caller releases with HeapFree; null when the program cannot be found.
// May show a message box and the open-file dialog.
char* LocateAtcProgram();

// The open-file dialog for the older edition's executable. Fills file (260 characters) with the
// chosen full file name and gives true; false when cancelled or another file was chosen.
bool BrowseForAtcProgram(char* file);

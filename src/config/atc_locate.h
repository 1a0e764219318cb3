#pragma once
// Finding the ATC program's installation folder.

// Gives the folder of the ATC program's executable, ending in a backslash, as a new text on the
// process heap that the caller releases with HeapFree; null when the program cannot be found.
char* LocateAtcProgram();

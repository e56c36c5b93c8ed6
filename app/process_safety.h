// What the program sets up before anything else runs: no system error box
// stops it, and no DLL comes from its own folder.
#pragma once

// The process never waits for a click on a system error box ("There is no
// disk in the drive" while a drive without media is probed), and loads DLLs
// from the system folder only: the program's folder (a Downloads folder, say)
// and the current folder are never searched.
void MakeProcessSafe();

// The start-up program: the value of every tag when the plug-in is created. The
// constructor copies row 0 into the live values, the edited snapshot and the program.
#pragma once

// Row 0 is the start-up program, 1024 values 0..1 indexed by tag. The table is computed
// at compile time from compact per-family data and lives in read-only memory.
extern const float DEMOVAR[1][1024];

// Shared by the log's writers: the open stream and the time stamp of a line.
#pragma once

#include <cstdio>

// The open log stream, or nullptr while the log is closed.
FILE* OpenLogStream();

// Writes the local time as "YYYY-MM-DD, hh:mm:ss,   " (its own clock reading).
void WriteLogStamp(FILE* file);

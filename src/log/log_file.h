// Implemented in log_file.cpp: the open log stream, for the log's own writers
// (LogLine there, ReportError in error_report.cpp).
#pragma once

#include <cstdio>

// The log's stream while the log is open, or nullptr while it is closed.
// Opens nothing.
FILE* LogStreamIfOpen();

/* The string table: numbers and texts. Read by windres for the Windows
   resources and by the string-table stand-in elsewhere, so both agree. */
#pragma once

#define IDS_NOT_NT 100
#define IDS_TITLE_FORMAT 101
#define IDS_PIPE_ERROR 102
#define IDS_DEBUG_CAPTION 103

#define TEXT_NOT_NT "CreateNamedPipe will only work on Windows NT."
#define TEXT_TITLE_FORMAT "Pipe Server Vantrelle (p:%X)"
#define TEXT_PIPE_ERROR "Error return code from CreateNamedPipe = %li."
#define TEXT_DEBUG_CAPTION "Debug Window"

# Linux checks follow in this file.

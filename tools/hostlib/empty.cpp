// Keeps the host library non-empty before its sources exist.

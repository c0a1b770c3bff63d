// The process entry.

// Filled in by the legacy memo readers.

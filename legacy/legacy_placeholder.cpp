// Replaced by the legacy memo readers.

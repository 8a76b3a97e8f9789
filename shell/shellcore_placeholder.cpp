// Replaced by the shell core sources.

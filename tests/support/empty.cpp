// Keeps the support libraries non-empty while they have no sources of their own.

// Placeholder object for a library whose folders hold no sources yet.

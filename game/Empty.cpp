// Keeps the game library non-empty while its first screens are being written.

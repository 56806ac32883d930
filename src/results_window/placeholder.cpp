// Placeholder until the results window lands.

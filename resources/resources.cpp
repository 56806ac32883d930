// Anchors the compiled artwork in its own library.

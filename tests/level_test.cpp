// Level operations on a ROM image and a packed level in memory.

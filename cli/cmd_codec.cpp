// kavelo compress / decompress: the raw compressed stream.

// kavelo list: the package directory of any file.

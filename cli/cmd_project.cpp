// kavelo new / info / add / remove / set / script / extract: editing a setup.

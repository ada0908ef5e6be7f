// kavelo panel / simulate: trying a setup's scripts.

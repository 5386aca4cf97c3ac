# Empty dependencies file for setup.
# This may be replaced when dependencies are built.

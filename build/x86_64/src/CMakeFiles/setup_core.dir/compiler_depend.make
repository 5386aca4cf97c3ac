# Empty compiler generated dependencies file for setup_core.
# This may be replaced when dependencies are built.

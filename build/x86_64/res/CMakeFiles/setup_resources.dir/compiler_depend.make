# Empty compiler generated dependencies file for setup_resources.
# This may be replaced when dependencies are built.

file(REMOVE_RECURSE
  "libsetup_core.a"
)

# The rooms of the monitor's code from the bottom up. A room builds into a library
# that links the rooms before it, and may include only its own headers and theirs.
set(QXLM_LAYERS platform port log link status jobs flash pipe entry)

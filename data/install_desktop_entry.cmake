# Writes the desktop entry for PROGRAM from ENTRY_TEMPLATE and installs it into ENTRY_FOLDER.
# Run by `cmake --install`.

# PROGRAM as one Exec argument: quoted, with the characters the quoting reserves escaped, %
# doubled, then every backslash doubled as string values require.
set(exec "${PROGRAM}")
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "\"" "\\\"" exec "${exec}")
string(REPLACE "`" "\\`" exec "${exec}")
string(REPLACE "$" "\\$" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")
string(REPLACE "\\" "\\\\" exec "${exec}")
set(BRAMWICK_EXEC "\"${exec}\"")

configure_file("${ENTRY_TEMPLATE}" "${ENTRY_STAGING}" @ONLY)
file(INSTALL DESTINATION "${ENTRY_FOLDER}" TYPE FILE FILES "${ENTRY_STAGING}")

# Installs the program into a folder of its own and checks the files the desktop reads with the
# desktop's own validator: the menu entry and the autostart entry the program writes
# (desktop-file-validate), or the software centres' description (appstreamcli). Says "skipped"
# when the validator is not installed.
#   -DBINARY_DIR=<build> -DSTAGE=<scratch folder> -DCHECK=entries|metainfo
set(id "app.bramwick.Bramwick")
if(CHECK STREQUAL "entries")
    find_program(validator desktop-file-validate)
else()
    find_program(validator appstreamcli)
endif()
if(NOT validator)
    message("skipped: the validator is not installed (scripts/install-deps.sh)")
    return()
endif()

file(REMOVE_RECURSE "${STAGE}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BINARY_DIR}" --prefix "${STAGE}/usr"
    RESULT_VARIABLE installed OUTPUT_QUIET)
if(NOT installed EQUAL 0)
    message(FATAL_ERROR "cmake --install failed")
endif()

function(validate)
    execute_process(COMMAND "${validator}" ${ARGN} RESULT_VARIABLE status
        OUTPUT_VARIABLE out ERROR_VARIABLE out)
    # desktop-file-validate prints hints on files that are valid: anything it prints is a fault.
    if(NOT status EQUAL 0 OR (CHECK STREQUAL "entries" AND NOT out STREQUAL ""))
        message(FATAL_ERROR "${ARGN}:\n${out}")
    endif()
endfunction()

function(expect file pattern why)
    file(READ "${file}" text)
    if(NOT text MATCHES "${pattern}")
        message(FATAL_ERROR "${file}: ${why}\n${text}")
    endif()
endfunction()

if(CHECK STREQUAL "entries")
    set(entry "${STAGE}/usr/share/applications/${id}.desktop")
    validate("${entry}")
    expect("${entry}" "\nExec=\"[^\n]*/bin/bramwick\" --window\n" "the menu opens the window")
    expect("${entry}" "\nStartupWMClass=Bramwick\n" "docks match the window by its class")

    # The autostart entry as the installed program writes it, in a home of its own.
    file(MAKE_DIRECTORY "${STAGE}/home")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env "BRAMWICK_HOME=${STAGE}/home"
        "${STAGE}/usr/bin/bramwick" --open-at-login on RESULT_VARIABLE status OUTPUT_QUIET)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "--open-at-login on failed")
    endif()
    set(autostart "${STAGE}/home/.config/autostart/${id}.desktop")
    validate("${autostart}")
    expect("${autostart}" "\nExec=\"[^\n]*/bin/bramwick\"\n" "at login it starts in the tray")
else()
    validate(validate --no-net "${STAGE}/usr/share/metainfo/${id}.metainfo.xml")
endif()
file(REMOVE_RECURSE "${STAGE}")

# The data the programs read (the grid, the gazetteer, the readings), made by datum/ and readings/
# into one folder of the build. The Windows program reads them from data\ beside itself (the zip's
# layout, and the build's: the build folder of quorvel-cli.exe); a Linux install from
# ../share/quorvel beside bin/.
if(WIN32)
    set(quorvel_data_dir ${PROJECT_BINARY_DIR}/cli/data)
    set(quorvel_program_data "\\\\data\\\\")
    set(quorvel_install_data data)
else()
    set(quorvel_data_dir ${PROJECT_BINARY_DIR}/data)
    set(quorvel_program_data /../share/quorvel/)
    set(quorvel_install_data share/quorvel)
endif()

# Tells TARGET's sources where to look for the data.
function(quorvel_data_dirs target)
    target_compile_definitions(${target} PRIVATE QUORVEL_PROGRAM_DATA_DIR="${quorvel_program_data}")
    if(NOT WIN32)
        target_compile_definitions(${target} PRIVATE QUORVEL_BUILD_DATA_DIR="${quorvel_data_dir}"
            QUORVEL_INSTALL_DATA_DIR="${CMAKE_INSTALL_PREFIX}/share/quorvel")
    endif()
endfunction()

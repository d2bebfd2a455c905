# The launcher image must hold "PE" at offset 256 so that the DOS header
# bytes 248..255 are free for StoredPackEnd: move the NT headers after
# linking (the build fails when they do not fit).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(vel_package_image target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/move_pe_header.py
            $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()

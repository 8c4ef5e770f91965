# Runs the installed-to-be program itself as a user would, without a display: a picture is
# written and repeatable, a faulty formula and an unwritable path give their exit codes and
# write nothing. Called by CTest with -DPROGRAM=... -DFOLDER=...

cmake_minimum_required(VERSION 3.17)

file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${FOLDER}")

# run(<expected exit code> <arguments>...)
function(run expected)
    execute_process(COMMAND "${PROGRAM}" ${ARGN} RESULT_VARIABLE code
        OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT code STREQUAL expected)
        message(FATAL_ERROR "${ARGN}: exit code ${code}, not ${expected}\n${out}${err}")
    endif()
    set(output "${out}${err}" PARENT_SCOPE)
endfunction()

set(field --fx "sin(x)*cos(y)" --fy "x*x*x - 3*x*y*y" --flow 1000 --time 0.5 --seed 9
    --show TE --size 300x200)
run(0 ${field} --export "${FOLDER}/one.png")
run(0 ${field} --export "${FOLDER}/two.png")
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${FOLDER}/one.png" "${FOLDER}/two.png"
    RESULT_VARIABLE differ)
if(differ)
    message(FATAL_ERROR "the same command wrote two different pictures")
endif()
file(READ "${FOLDER}/one.png" signature LIMIT 8 HEX)
if(NOT signature STREQUAL "89504e470d0a1a0a")
    message(FATAL_ERROR "not a PNG: ${signature}")
endif()

run(0 --fx -y --fy x --export "${FOLDER}/field.svg")
file(READ "${FOLDER}/field.svg" drawing LIMIT 5 HEX)
if(NOT drawing STREQUAL "3c3f786d6c") # <?xml
    message(FATAL_ERROR "not an SVG drawing: ${drawing}")
endif()

run(2 --fx "x +" --fy y --export "${FOLDER}/never.png")
if(NOT output MATCHES "^Fx: Syntax Error. Empty Expression. at character 4")
    message(FATAL_ERROR "unexpected message: ${output}")
endif()
run(2 --fx x --fy y --grid 1 --export "${FOLDER}/never.png")
run(1 --fx x --fy y --export "${FOLDER}/missing/never.png")
if(EXISTS "${FOLDER}/never.png" OR EXISTS "${FOLDER}/missing")
    message(FATAL_ERROR "a refused command wrote something")
endif()
run(0 --version)

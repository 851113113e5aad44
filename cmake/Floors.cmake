# dravelo_floor(TARGET FOLDER SOURCES ... LINKS ... [PRIVATE_LINKS ...])
#
# One floor of the client: a static library of the sources in FOLDER (listed
# relative to it), linking the floors below it. Its dependents include its
# headers as "FOLDER/Name.h" through an include root of its own that holds
# FOLDER alone, so a source sees only its own floor and the floors it links.
function(dravelo_floor target folder)
    cmake_parse_arguments(PARSE_ARGV 2 ARG "" "" "SOURCES;LINKS;PRIVATE_LINKS")
    add_library(${target} STATIC ${ARG_SOURCES})
    set(root ${CMAKE_BINARY_DIR}/include-roots/${target})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${ARG_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
endfunction()

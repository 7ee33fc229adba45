file(SIZE "${FILE}" size)
get_filename_component(name "${FILE}" NAME)
message(STATUS "size: ${name} ${size} bytes")

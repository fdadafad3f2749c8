# Writes a C++ source holding files' bytes as arrays, so the built-in fonts
# need no files beside the program. Called with
#   -DOUTPUT=file.cpp -DSYMBOLS=name1;name2 -DFILES=path1;path2
set(text "// Generated from pages/fonts/ by pages/embed.cmake; do not edit.\n#include <cstddef>\n")
list(LENGTH FILES count)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
    list(GET FILES ${i} file)
    list(GET SYMBOLS ${i} symbol)
    file(READ ${file} hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
    string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" hex "${hex}")
    string(APPEND text "extern const unsigned char ${symbol}[];\nextern const std::size_t ${symbol}Size;\n"
           "const unsigned char ${symbol}[] = {\n${hex}\n};\nconst std::size_t ${symbol}Size = ${size};\n")
endforeach()
file(WRITE ${OUTPUT} "${text}")

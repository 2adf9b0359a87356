# cmake -DTEMPLATE=<theme.css.in> -DPALETTE=<palette.cmake> -DOUTPUT=<sheet.css> -P GenerateTheme.cmake
# Fills the one style sheet template with a theme's palette, so that both themes share every rule.
# A placeholder the palette leaves unset stops the build instead of leaving a hole in a rule.
include(${PALETTE})
file(READ ${TEMPLATE} text)
string(REGEX MATCHALL "@[A-Za-z_0-9]+@" placeholders "${text}")
list(REMOVE_DUPLICATES placeholders)
foreach(placeholder IN LISTS placeholders)
    string(REPLACE "@" "" name "${placeholder}")
    if(NOT DEFINED ${name})
        message(FATAL_ERROR "${PALETTE} does not set ${name}, which ${TEMPLATE} uses")
    endif()
endforeach()
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)

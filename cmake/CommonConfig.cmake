# What every target of ours shares: language level, warnings, Qt's stricter defines, sanitizers.
add_library(velora_common INTERFACE)
target_compile_features(velora_common INTERFACE cxx_std_17)
target_compile_definitions(velora_common INTERFACE
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_USE_QSTRINGBUILDER
)
if(MSVC)
    target_compile_options(velora_common INTERFACE /W4)
else()
    target_compile_options(velora_common INTERFACE
        -Wall -Wextra -Wshadow -Wold-style-cast -Wnon-virtual-dtor)
    if(VELORA_WERROR)
        target_compile_options(velora_common INTERFACE -Werror)
    endif()
endif()

if(VELORA_SANITIZE)
    set(_velora_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_compile_options(velora_common INTERFACE ${_velora_san})
    target_link_options(velora_common INTERFACE ${_velora_san})
endif()

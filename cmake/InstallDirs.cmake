# Where `cmake --install` puts things: with the default prefix, a user's own folders (a user cannot write
# the system's) or the system's for root; with an explicit prefix (packages: /usr), folders below it.
#   zr_install_dir(VAR DOC ROOT_DIR USER_DIR PREFIX_SUBDIR)

function(zr_install_dir var doc root_dir user_dir prefix_subdir)
    if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
        if("$ENV{USER}" STREQUAL "root" OR "$ENV{HOME}" STREQUAL "/root" OR "$ENV{HOME}" STREQUAL "")
            set(dir ${root_dir})
        else()
            set(dir $ENV{HOME}/${user_dir})
        endif()
    else()
        set(dir ${CMAKE_INSTALL_PREFIX}/${prefix_subdir})
    endif()
    set(${var} ${dir} CACHE PATH "${doc}")
endfunction()

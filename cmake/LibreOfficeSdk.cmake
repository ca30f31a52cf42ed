# The LibreOffice SDK: headers for the UNO types we use are generated at build
# time with cppumaker from the office's type registries.
set(LIBREOFFICE_PROGRAM_DIR "/usr/lib/libreoffice/program" CACHE PATH "LibreOffice program folder")
set(LIBREOFFICE_SDK_DIR "/usr/lib/libreoffice/sdk" CACHE PATH "LibreOffice SDK folder")
set(LIBREOFFICE_INCLUDE_DIR "/usr/include/libreoffice" CACHE PATH "LibreOffice SDK headers")

find_program(CPPUMAKER cppumaker PATHS "${LIBREOFFICE_SDK_DIR}/bin" NO_DEFAULT_PATH REQUIRED)
foreach(lib uno_cppu uno_cppuhelpergcc3 uno_sal uno_salhelpergcc3)
    find_library(LO_${lib} ${lib} PATHS "${LIBREOFFICE_SDK_DIR}/lib" NO_DEFAULT_PATH REQUIRED)
    list(APPEND LIBREOFFICE_LIBRARIES ${LO_${lib}})
endforeach()

set(LIBREOFFICE_TYPE_RDBS "${LIBREOFFICE_PROGRAM_DIR}/types.rdb"
                          "${LIBREOFFICE_PROGRAM_DIR}/types/offapi.rdb")

# uno_generate_headers(<target>) adds headers for every UNO type of the
# office (generated in well under a second) to <target>'s include path.
function(uno_generate_headers target)
    set(out "${CMAKE_CURRENT_BINARY_DIR}/uno-include")
    set(stamp "${out}/.stamp")
    add_custom_command(
        OUTPUT "${stamp}"
        COMMAND ${CMAKE_COMMAND} -E rm -rf "${out}"
        COMMAND ${CPPUMAKER} -Gc "-O${out}" ${LIBREOFFICE_TYPE_RDBS}
        COMMAND ${CMAKE_COMMAND} -E touch "${stamp}"
        DEPENDS ${LIBREOFFICE_TYPE_RDBS}
        COMMENT "Generating UNO headers for ${target}"
        VERBATIM)
    add_custom_target(${target}_uno_headers DEPENDS "${stamp}")
    add_dependencies(${target} ${target}_uno_headers)
    target_include_directories(${target} SYSTEM PRIVATE "${out}" "${LIBREOFFICE_INCLUDE_DIR}")
    target_compile_definitions(${target} PRIVATE LINUX UNX GCC CPPU_ENV=gcc3)
    target_link_libraries(${target} PRIVATE ${LIBREOFFICE_LIBRARIES})
endfunction()

# mellodeck_version_resource(<target> <description> <original file name>): a Windows version block for a
# program or library we ship, its numbers from the project's version (project() in the top CMakeLists.txt,
# the one place the version is set), so every file of a release carries the same version.
function(mellodeck_version_resource target description filename)
    if(NOT WIN32)
        return()
    endif()
    get_target_property(_type ${target} TYPE)
    if(_type STREQUAL "SHARED_LIBRARY")
        set(_filetype VFT_DLL)
    else()
        set(_filetype VFT_APP)
    endif()
    set(_rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
    file(CONFIGURE OUTPUT "${_rc}" @ONLY CONTENT [=[
#include <winver.h>
VS_VERSION_INFO VERSIONINFO
FILEVERSION @PROJECT_VERSION_MAJOR@, @PROJECT_VERSION_MINOR@, @PROJECT_VERSION_PATCH@, 0
PRODUCTVERSION @PROJECT_VERSION_MAJOR@, @PROJECT_VERSION_MINOR@, @PROJECT_VERSION_PATCH@, 0
FILEFLAGSMASK VS_FFI_FILEFLAGSMASK
FILEFLAGS 0
FILEOS VOS_NT_WINDOWS32
FILETYPE @_filetype@
FILESUBTYPE VFT2_UNKNOWN
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        BLOCK "040904B0"
        BEGIN
            VALUE "CompanyName", "Marquill"
            VALUE "FileDescription", "@description@"
            VALUE "FileVersion", "@PROJECT_VERSION@.0"
            VALUE "OriginalFilename", "@filename@"
            VALUE "ProductName", "Mellodeck"
            VALUE "ProductVersion", "@PROJECT_VERSION@.0"
        END
    END
    BLOCK "VarFileInfo"
    BEGIN
        VALUE "Translation", 0x0409, 1200
    END
END
]=])
    target_sources(${target} PRIVATE "${_rc}")
endfunction()

# The product build: 32-bit WqRT.dll with i686-w64-mingw32, loadable on Windows 2000 SP4 and XP.
# The win32 thread model: the library starts no threads, and the posix model's winpthreads
# would bring imports that XP lacks (GetTickCount64) into the DLL. The win64 build keeps the
# posix model, which GoogleTest needs (std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# A build folder first set up with other compilers (such as the posix thread model's) would go on
# using them: forget what was detected there, so that the compilers above are detected instead.
foreach(lang C CXX)
    set(detected ${CMAKE_BINARY_DIR}/CMakeFiles/${CMAKE_VERSION}/CMake${lang}Compiler.cmake)
    if(EXISTS ${detected})
        file(STRINGS ${detected} line REGEX "^set\\(CMAKE_${lang}_COMPILER ")
        string(FIND "${line}" "/${CMAKE_${lang}_COMPILER}\"" at)
        if(at EQUAL -1)
            file(REMOVE ${detected})
        endif()
    endif()
endforeach()

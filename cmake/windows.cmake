# TAPEON.EXE and the Windows test programs that run under Wine.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/resources -I${CMAKE_SOURCE_DIR} -I${TAPEON_GENERATED} -c 932")
enable_language(RC)
target_compile_options(tapeon_core PRIVATE -O2)

# windres reports no dependencies: rebuild the resources when any of their parts changes.
file(GLOB RESOURCE_PARTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc ${CMAKE_SOURCE_DIR}/resources/*.h
     ${CMAKE_SOURCE_DIR}/resources/*.ico)
list(APPEND RESOURCE_PARTS ${TAPEON_GENERATED}/tapeon_version.h)
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/tapeon.rc PROPERTIES OBJECT_DEPENDS "${RESOURCE_PARTS}")

# The Windows half of the product as a library, everything but the start-up
# file with WinMain, so that the test programs link the product's own code.
set(TAPEON_MAIN_SOURCE ${CMAKE_SOURCE_DIR}/app/tapeon_win32.cpp)
set(WIN32_LIBRARY_SOURCES ${WIN32_SOURCES})
list(REMOVE_ITEM WIN32_LIBRARY_SOURCES ${TAPEON_MAIN_SOURCE})
set(TAPEON_DEFINITIONS _WIN32_WINNT=0x0501 WINVER=0x0501)
set(TAPEON_SYSTEM_LIBRARIES winmm comdlg32 shell32 gdi32 user32 kernel32)
set(TAPEON_LINK_OPTIONS -static -static-libgcc -static-libstdc++ -mwindows)

add_library(tapeon_win32 STATIC ${WIN32_LIBRARY_SOURCES})
target_compile_options(tapeon_win32 PRIVATE -O2)
target_compile_definitions(tapeon_win32 PUBLIC ${TAPEON_DEFINITIONS})
target_link_libraries(tapeon_win32 PUBLIC tapeon_core ${TAPEON_SYSTEM_LIBRARIES})

add_executable(TAPEON WIN32 ${TAPEON_MAIN_SOURCE} ${CMAKE_SOURCE_DIR}/resources/tapeon.rc)
target_compile_options(TAPEON PRIVATE -O2)
target_link_libraries(TAPEON PRIVATE tapeon_win32)
target_link_options(TAPEON PRIVATE ${TAPEON_LINK_OPTIONS})
set_target_properties(TAPEON PROPERTIES OUTPUT_NAME TAPEON SUFFIX .EXE)

# Windows-side tests (driver, end-to-end tests, test programs) live in tests/wine.
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/wine/CMakeLists.txt)
  add_subdirectory(tests/wine)
endif()

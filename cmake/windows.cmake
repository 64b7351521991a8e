# TAPEON.EXE and the Windows test programs that run under Wine.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/resources -I${CMAKE_SOURCE_DIR} -c 932")
enable_language(RC)
target_compile_options(tapeon_core PRIVATE -O2)

# windres reports no dependencies: rebuild the resources when any of their parts changes.
file(GLOB RESOURCE_PARTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc ${CMAKE_SOURCE_DIR}/resources/*.h
     ${CMAKE_SOURCE_DIR}/resources/*.ico)
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/tapeon.rc PROPERTIES OBJECT_DEPENDS "${RESOURCE_PARTS}")

add_executable(TAPEON WIN32 ${WIN32_SOURCES} ${CMAKE_SOURCE_DIR}/resources/tapeon.rc)
target_compile_options(TAPEON PRIVATE -O2)
target_compile_definitions(TAPEON PRIVATE _WIN32_WINNT=0x0501 WINVER=0x0501)
target_link_libraries(TAPEON PRIVATE tapeon_core winmm comdlg32 shell32 gdi32 user32 kernel32)
target_link_options(TAPEON PRIVATE -static -static-libgcc -static-libstdc++ -mwindows)
set_target_properties(TAPEON PROPERTIES OUTPUT_NAME TAPEON SUFFIX .EXE)

# Windows-side tests (driver, end-to-end tests, test programs) live in tests/wine.
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/wine/CMakeLists.txt)
  add_subdirectory(tests/wine)
endif()

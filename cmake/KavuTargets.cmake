# Helpers that keep every subsystem's build description a few lines long.

set(KAVU_WARNINGS -Wall -Wextra)
if(KAVU_WERROR)
  list(APPEND KAVU_WARNINGS -Werror)
endif()

# The SSE3, AVX and AVX-512 FFT kernels and the CPUID probe exist only on x86 processors; on
# every other one the files compile to stubs and the portable kernel is the one used.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86)$")
  set(KAVU_X86 ON)
else()
  set(KAVU_X86 OFF)
endif()

# Unity builds (CMAKE_UNITY_BUILD=ON; CI's builds use them, as they compile about twice as
# fast) put several sources of a target into one translation unit. A file that defines
# a file-local name which another file of its target defines too (a helper in an anonymous
# namespace, a static function) is compiled on its own: list it here, by its path in the source
# tree. The error that asks for it is "redefinition of ..." in a Unity/unity_N_cxx.cxx file.
set(KAVU_UNITY_ALONE
  src/board/board_protocol_batch.cpp   # HexText
  src/board/si5351_config.cpp          # kSection
  src/receivers/o_sdrplay_use.cpp      # Resolve
  src/receivers/ui/cdlg_hackrf.cpp     # kCaption, kNoDevices, Q
  src/results/touchstone_s1p.cpp       # Finite
  src/scan/live_spectrum.cpp           # Db
  src/scan/measurement.cpp             # Db, kPi
  src/scan/scan_station.cpp            # Printf
  src/sim/board_firmware.cpp           # PutU16, PutU32
  src/web/okavu_http_answers.cpp       # kTicksPerSecond
  tests/app/cli_files_test.cpp         # Put
  tests/e2e/scan_clocks_test.cpp       # kRanges
  tests/receivers/sdrplay_set_test.cpp # Host, ScriptFn
  tests/receivers/sdrplay_test.cpp     # ScriptFn, Variant
  tests/e2e/scan_failures_test.cpp     # kRanges
  tests/scan/ui/waterfall_image_test.cpp  # kBlack, kBlue
  tests/sim/group_timeline_test.cpp    # Context
)

# Marks the sources in `srcs` (absolute paths) that KAVU_UNITY_ALONE lists.
function(kavu_unity_alone)
  foreach(s ${ARGN})
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${s})
    if(rel IN_LIST KAVU_UNITY_ALONE)
      set_source_files_properties(${s} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endif()
  endforeach()
endfunction()

# kavu_library(NAME folder DEPS lib...)
# One static library per subsystem from every .cpp directly in src/<folder> (ui/ is separate).
# Files named *_sse3.cpp, *_avx.cpp and *_avx512.cpp (AVX-512F) are compiled for those
# instruction sets on x86 (plain elsewhere, where they hold only stubs); the caller must only run
# them after the processor probe said yes.
function(kavu_library name)
  cmake_parse_arguments(K "" "" "DEPS;PUBLIC_LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${K_DEPS} ${K_PUBLIC_LIBS})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  kavu_unity_alone(${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${KAVU_WARNINGS})
  target_link_libraries(${name} PUBLIC ${K_DEPS} ${K_PUBLIC_LIBS})
  if(NOT KAVU_X86)
    return()
  endif()
  foreach(s ${srcs})
    if(s MATCHES "_sse3\\.cpp$")
      set_source_files_properties(${s} PROPERTIES COMPILE_OPTIONS "-msse3")
    elseif(s MATCHES "_avx\\.cpp$")
      set_source_files_properties(${s} PROPERTIES COMPILE_OPTIONS "-mavx")
    elseif(s MATCHES "_avx512\\.cpp$")
      set_source_files_properties(${s} PROPERTIES COMPILE_OPTIONS "-mavx512f")
    endif()
  endforeach()
endfunction()

# kavu_test_suite(NAME LABEL label LIBS lib... [LONG Suite.Test...])
# One test executable from every *_test.cpp in the current folder; each test is its own CTest entry.
# The tests named after LONG (full GoogleTest names) take many times longer than the rest (7 s
# and more in a plain build on 2 cores, where most take well under a second; none takes 20 s)
# and get the extra label `long`, for scripts that run tests many times (ctest -L long, -LE
# long). A name no longer found labels nothing.
function(kavu_test_suite name)
  cmake_parse_arguments(K "" "LABEL;TIMEOUT" "LIBS;LONG" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*_fixture.cpp)
  if(NOT srcs)
    return()
  endif()
  if(NOT K_TIMEOUT)
    set(K_TIMEOUT 120)
  endif()
  add_executable(${name} ${srcs})
  kavu_unity_alone(${srcs})
  target_compile_options(${name} PRIVATE ${KAVU_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${K_LIBS} kavu_test_support GTest::gtest_main GTest::gmock Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    KAVU_SOURCE_DIR="${PROJECT_SOURCE_DIR}" KAVU_BINARY_DIR="${PROJECT_BINARY_DIR}"
    KAVU_SIMLIB_DIR="${KAVU_SIMLIB_DIR}")
  gtest_discover_tests(${name} PROPERTIES LABELS ${K_LABEL} TIMEOUT ${K_TIMEOUT}
    DISCOVERY_TIMEOUT 60)
  if(K_LONG)
    # Discovered tests exist only when CTest reads the folder, after the discovery's own file:
    # the labels are set from a file read after it (its label list cannot pass through
    # gtest_discover_tests' PROPERTIES).
    set(script "${CMAKE_CURRENT_BINARY_DIR}/${name}_long_labels.cmake")
    set(text "")
    foreach(t ${K_LONG})
      string(APPEND text "set_tests_properties([==[${t}]==] PROPERTIES LABELS \"${K_LABEL};long\")\n")
    endforeach()
    file(WRITE "${script}" "${text}")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
  endif()
endfunction()

# kavu_ui_library(NAME DEPS lib...)
# The Qt windows of one subsystem: every .cpp in src/<subsystem>/ui, with AUTOMOC (only here, to
# keep the build cheap). The only libraries that link Qt.
function(kavu_ui_library name)
  cmake_parse_arguments(K "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT srcs MATCHES "\\.cpp")
    return()  # a ui/ folder whose windows are not written yet
  endif()
  add_library(${name} STATIC ${srcs})
  kavu_unity_alone(${srcs})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${KAVU_WARNINGS})
  target_link_libraries(${name} PUBLIC ${K_DEPS} Qt6::Widgets)
endfunction()

# kavu_paint_library(NAME DEPS lib...)
# Pictures drawn with Qt's painting module (QPainter, QImage, fonts), every .cpp in the folder:
# no widgets, no moc. Windows and the command-line tool share them.
function(kavu_paint_library name)
  cmake_parse_arguments(K "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${srcs})
  kavu_unity_alone(${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${KAVU_WARNINGS})
  target_link_libraries(${name} PUBLIC ${K_DEPS} Qt6::Gui)
endfunction()

# kavu_forbid_link(TARGET target NOT lib...)
# Stops the configuration when `target` reaches any of the libraries, directly or through the
# libraries it links: the layers' rules, checked where they are made (see src/CMakeLists.txt).
function(kavu_forbid_link)
  cmake_parse_arguments(K "" "TARGET" "NOT" ${ARGN})
  set(seen "")
  set(todo ${K_TARGET})
  while(todo)
    list(POP_FRONT todo t)
    if(t IN_LIST seen OR NOT TARGET ${t})
      continue()
    endif()
    list(APPEND seen ${t})
    get_target_property(kind ${t} TYPE)
    set(links "")
    if(NOT kind STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${t} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(iface ${t} INTERFACE_LINK_LIBRARIES)
    if(iface)
      list(APPEND links ${iface})
    endif()
    foreach(l ${links})
      if(NOT TARGET ${l})
        continue()  # a system library or a generator expression
      endif()
      get_target_property(aliased ${l} ALIASED_TARGET)
      if(aliased)
        set(l ${aliased})
      endif()
      if(l IN_LIST K_NOT)
        message(FATAL_ERROR "${K_TARGET} links ${l} (through ${t}): the layers forbid it")
      endif()
      list(APPEND todo ${l})
    endforeach()
  endwhile()
endfunction()

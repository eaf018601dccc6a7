# libFuzzer targets. They need clang++ and its fuzzer runtime while the rest of the project
# builds with the default compiler, so each one is compiled and linked by custom commands
# that call clang++ directly, against Qt6::Core only.
#
# zorv_add_fuzzer(<name> HARNESS <file.cpp> SOURCES <file.cpp>... [INCLUDES <dir>...]
#                 [SECONDS <n>] [SEEDS <dir>])
#   Builds the executable fuzzers/<name>/fuzz_<name> of the current build folder (target
#   fuzz_<name>, part of "all") from the harness, which defines LLVMFuzzerTestOneInput, and
#   the project sources under test. Headers are found in the folders of those files, the
#   INCLUDES folders and Qt6::Core's; sources that need moc cannot be used. Adds the CTest test fuzz_<name> (label "fuzz"): fuzzing for
#   SECONDS seconds (default 20) with the corpus kept in fuzzers/<name>/corpus/; a crash,
#   sanitizer report, leak, input slower than 60 s or use of more than 2 GiB fails it, and
#   the failing input is saved in fuzzers/<name>/artifacts/. SEEDS names a folder of inputs
#   that every run reads first (it is never written to).
# Without a working clang++ and fuzzer runtime the fuzzers are left out with a status note.

set(ZORV_FUZZ_CXX /usr/bin/clang++ CACHE FILEPATH "clang++ that builds the libFuzzer targets")

# Compiles and links a fuzzer that does nothing, once per compiler path; the outcome is cached.
function(_zorv_check_fuzzer_toolchain)
  if(DEFINED CACHE{_ZORV_FUZZER_CHECKED} AND "${_ZORV_FUZZER_CHECKED}" STREQUAL "${ZORV_FUZZ_CXX}")
    return()
  endif()
  set(works FALSE)
  set(why "")
  if(NOT EXISTS "${ZORV_FUZZ_CXX}")
    set(why "${ZORV_FUZZ_CXX} not found")
  else()
    set(probe_dir ${CMAKE_BINARY_DIR}/CMakeFiles/zorv-fuzzer-probe)
    file(MAKE_DIRECTORY ${probe_dir})
    file(WRITE ${probe_dir}/probe.cpp
         "#include <cstddef>\n#include <cstdint>\n"
         "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
    execute_process(
      COMMAND "${ZORV_FUZZ_CXX}" -fsanitize=fuzzer,address,undefined ${probe_dir}/probe.cpp
              -o ${probe_dir}/probe
      RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(result EQUAL 0)
      set(works TRUE)
    else()
      string(STRIP "${output}" output)
      set(why "${ZORV_FUZZ_CXX} cannot link a fuzzer (is the fuzzer runtime installed?): ${output}")
    endif()
  endif()
  set(_ZORV_FUZZER_CHECKED "${ZORV_FUZZ_CXX}" CACHE INTERNAL "")
  set(_ZORV_FUZZER_WORKS ${works} CACHE INTERNAL "")
  set(_ZORV_FUZZER_WHY "${why}" CACHE INTERNAL "")
endfunction()

_zorv_check_fuzzer_toolchain()
if(_ZORV_FUZZER_WORKS)
  message(STATUS "Fuzzers: built with ${ZORV_FUZZ_CXX}")
else()
  message(STATUS "Fuzzers: left out, ${_ZORV_FUZZER_WHY}")
endif()

# Compiler arguments shared by every object of a fuzzer; the include folders come in `dirs`.
function(_zorv_fuzzer_compile_flags out dirs)
  set(qt_includes "$<TARGET_PROPERTY:Qt6::Core,INTERFACE_INCLUDE_DIRECTORIES>")
  set(qt_definitions "$<TARGET_PROPERTY:Qt6::Core,INTERFACE_COMPILE_DEFINITIONS>")
  # Qt requires position-independent code; UB reports abort so that they count as crashes.
  set(flags -std=c++20 -O1 -g -fPIC -fno-omit-frame-pointer
            -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
            -Wall -Wextra -Wpedantic)
  if(ZORV_WERROR)
    list(APPEND flags -Werror)
  endif()
  foreach(dir IN LISTS dirs)
    list(APPEND flags -I${dir})
  endforeach()
  # Qt's headers as system headers, as CMake passes them to the normal build. $<SEMICOLON>
  # keeps the joined lists whole here; COMMAND_EXPAND_LISTS splits them into arguments.
  list(APPEND flags "$<$<BOOL:${qt_includes}>:-isystem$<JOIN:${qt_includes},$<SEMICOLON>-isystem>>"
       "$<$<BOOL:${qt_definitions}>:-D$<JOIN:${qt_definitions},$<SEMICOLON>-D>>")
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

function(zorv_add_fuzzer name)
  cmake_parse_arguments(F "" "HARNESS;SECONDS;SEEDS" "SOURCES;INCLUDES" ${ARGN})
  if(NOT F_HARNESS OR NOT F_SOURCES)
    message(FATAL_ERROR "zorv_add_fuzzer(${name}): HARNESS and SOURCES are required")
  endif()
  if(NOT _ZORV_FUZZER_WORKS)
    message(STATUS "Fuzzer ${name} left out: ${_ZORV_FUZZER_WHY}")
    return()
  endif()
  if(NOT F_SECONDS)
    set(F_SECONDS 20)
  endif()

  set(target fuzz_${name})
  set(work_dir ${CMAKE_CURRENT_BINARY_DIR}/fuzzers/${name})
  set(corpus_dir ${work_dir}/corpus)
  set(artifact_dir ${work_dir}/artifacts)
  set(executable ${work_dir}/${target})

  set(sources)
  set(include_dirs)
  foreach(file IN LISTS F_HARNESS F_SOURCES)
    get_filename_component(file ${file} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    get_filename_component(dir ${file} DIRECTORY)
    list(APPEND sources ${file})
    list(APPEND include_dirs ${dir})
  endforeach()
  foreach(dir IN LISTS F_INCLUDES)
    get_filename_component(dir ${dir} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND include_dirs ${dir})
  endforeach()
  list(REMOVE_DUPLICATES include_dirs)
  _zorv_fuzzer_compile_flags(flags "${include_dirs}")

  # One object per source, numbered so that equal file names in different folders differ;
  # the depfile makes header changes rebuild it.
  # The objects' folder exists before any build step: Ninja makes output folders itself, the
  # Makefile generators do not.
  file(MAKE_DIRECTORY ${work_dir}/objects)
  set(objects)
  set(index 0)
  foreach(source IN LISTS sources)
    get_filename_component(base ${source} NAME_WE)
    set(object ${work_dir}/objects/${index}_${base}.o)
    add_custom_command(
      OUTPUT ${object}
      COMMAND "${ZORV_FUZZ_CXX}" ${flags} -MD -MF ${object}.d -c ${source} -o ${object}
      DEPENDS ${source}
      DEPFILE ${object}.d
      COMMENT "Building fuzzer object ${target}/${index}_${base}.o"
      COMMAND_EXPAND_LISTS VERBATIM)
    list(APPEND objects ${object})
    math(EXPR index "${index} + 1")
  endforeach()

  add_custom_command(
    OUTPUT ${executable}
    COMMAND "${ZORV_FUZZ_CXX}" -fsanitize=fuzzer,address,undefined ${objects}
            $<TARGET_LINKER_FILE:Qt6::Core> -Wl,-rpath,$<TARGET_LINKER_FILE_DIR:Qt6::Core>
            -o ${executable}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${corpus_dir} ${artifact_dir}
    DEPENDS ${objects}
    COMMENT "Linking fuzzer ${target}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${executable})

  set(seed_dirs)
  if(F_SEEDS)
    get_filename_component(seed_dir ${F_SEEDS} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND seed_dirs ${seed_dir})
  endif()
  # The test's own time limit leaves room for loading a grown corpus on a busy machine.
  math(EXPR test_timeout "${F_SECONDS} * 2 + 120")
  add_test(NAME ${target}
           COMMAND ${executable} -max_total_time=${F_SECONDS} -rss_limit_mb=2048 -timeout=60
                   -print_final_stats=1 -artifact_prefix=${artifact_dir}/ ${corpus_dir}
                   ${seed_dirs})
  set_tests_properties(${target} PROPERTIES TIMEOUT ${test_timeout} LABELS fuzz)
endfunction()

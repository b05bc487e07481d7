# The test command's checks beyond the unit tests, registered in the Linux
# build's CTest: the layout, the Linux packages, whole-show runs, and the
# Windows, web, sanitizer and fuzz builds' checks. Those builds live in folders
# of their own (scripts/test.sh makes them); a check whose build is absent
# skips. Each check is one kelpwax_check() line; what it needs (a virtual
# screen, the Wine prefix, the web server, the desktop's frames, the Linux
# trace) comes from a CTest fixture set up once before its first user.

set(KELPWAX_WINDOWS_BUILD ${CMAKE_SOURCE_DIR}/build-windows CACHE PATH "The Windows build the Windows checks test")
set(KELPWAX_WEB_BUILD ${CMAKE_SOURCE_DIR}/build-web CACHE PATH "The web build the web checks test")
set(KELPWAX_WEB_PAGE ${CMAKE_SOURCE_DIR}/dist/web CACHE PATH "The web page (scripts/build-web.sh) the page check serves")
set(KELPWAX_SANITIZE_BUILD ${CMAKE_SOURCE_DIR}/build-sanitize CACHE PATH "The sanitizer build whose tests run")
set(KELPWAX_FUZZ_BUILD ${CMAKE_SOURCE_DIR}/build-fuzz CACHE PATH "The fuzz build whose targets run")
set(KELPWAX_TEST_DISPLAYS "" CACHE STRING
  "Four free X display numbers for the tests' virtual screens; empty: the first free ones from :90")

set(harness ${CMAKE_CURRENT_SOURCE_DIR}/harness)
set(state ${CMAKE_BINARY_DIR}/test-state)
set(data ${KELPWAX_DATA_DIR})
set(windows ${KELPWAX_WINDOWS_BUILD})

# One virtual screen for each group of checks that looks for the show's window
# by its title, so that no check presses a key in another one's show.
set(display_groups unit-tests sanitize viewer shows)
string(REPLACE " " ";" displays "${KELPWAX_TEST_DISPLAYS}")
if(NOT displays)
  set(number 90)
  foreach(group IN LISTS display_groups)
    while(EXISTS /tmp/.X${number}-lock OR EXISTS /tmp/.X11-unix/X${number})
      math(EXPR number "${number} + 1")
    endwhile()
    list(APPEND displays ${number})
    math(EXPR number "${number} + 1")
  endforeach()
endif()
foreach(group display IN ZIP_LISTS display_groups displays)
  if(NOT display)
    message(FATAL_ERROR "KELPWAX_TEST_DISPLAYS names fewer than the four displays the checks need")
  endif()
  set(display_${group} :${display})
  add_test(NAME x-server-${group} COMMAND ${harness}/xvfb.sh start :${display} ${state})
  add_test(NAME x-server-${group}-end COMMAND ${harness}/xvfb.sh stop :${display} ${state})
  set_tests_properties(x-server-${group} PROPERTIES FIXTURES_SETUP x-${group})
  set_tests_properties(x-server-${group}-end PROPERTIES FIXTURES_CLEANUP x-${group})
endforeach()

# kelpwax_check(NAME LABEL [ON_SCREEN GROUP] [NEEDS PATH HOW_TO_BUILD] [WITH FIXTURE...]
#               [PROPERTIES NAME VALUE...] COMMAND ...)
# Registers a check labelled LABEL, run from the show's data folder with SDL's
# dummy sound device. ON_SCREEN gives it the group's virtual screen, NEEDS skips
# it when PATH is absent, WITH names the fixtures it needs.
function(kelpwax_check name label)
  cmake_parse_arguments(PARSE_ARGV 2 check "" "ON_SCREEN" "NEEDS;WITH;ENVIRONMENT;PROPERTIES;COMMAND")
  set(command ${check_COMMAND})
  list(GET command 0 program)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${program})
    list(POP_FRONT command)
    list(PREPEND command ${CMAKE_CURRENT_SOURCE_DIR}/${program})
  endif()
  if(check_NEEDS)
    set(command ${harness}/if_built.sh ${check_NEEDS} ${command})
  endif()
  set(environment SDL_AUDIODRIVER=dummy WINEPREFIX=${windows}/wine-prefix WINEDEBUG=-all)
  set(fixtures ${check_WITH})
  if(check_ON_SCREEN)
    list(APPEND environment DISPLAY=${display_${check_ON_SCREEN}})
    list(APPEND fixtures x-${check_ON_SCREEN})
  endif()
  list(APPEND environment ${check_ENVIRONMENT})
  add_test(NAME ${name} COMMAND ${command} WORKING_DIRECTORY ${data})
  set_tests_properties(${name} PROPERTIES LABELS "${label}" ENVIRONMENT "${environment}"
    FIXTURES_REQUIRED "${fixtures}" SKIP_RETURN_CODE 77 ${check_PROPERTIES})
endfunction()

# A fixture: SETUP runs before the first check that names it WITH, CLEANUP
# (optional) after the last.
function(kelpwax_fixture name)
  cmake_parse_arguments(PARSE_ARGV 1 fixture "" "ON_SCREEN" "SETUP;CLEANUP;ENVIRONMENT")
  kelpwax_check(${name} fixture ON_SCREEN ${fixture_ON_SCREEN} ENVIRONMENT ${fixture_ENVIRONMENT}
    COMMAND ${fixture_SETUP})
  set_tests_properties(${name} PROPERTIES FIXTURES_SETUP ${name})
  if(fixture_CLEANUP)
    kelpwax_check(${name}-end fixture COMMAND ${fixture_CLEANUP})
    set_tests_properties(${name}-end PROPERTIES FIXTURES_CLEANUP ${name})
  endif()
endfunction()

kelpwax_fixture(wine-prefix ON_SCREEN shows
  SETUP ${harness}/wine_prefix.sh start ${windows} CLEANUP ${harness}/wine_prefix.sh stop ${windows})
kelpwax_fixture(web-server
  SETUP ${harness}/web_server.sh start ${KELPWAX_WEB_PAGE} ${state}
  CLEANUP ${harness}/web_server.sh stop ${KELPWAX_WEB_PAGE} ${state})

# The frames the other devices' frames are compared with, and the device calls
# the other targets' traces are compared with.
set(frame_positions 0 32.4 60 90 100 140)
set(trace_positions 0 10 32.4 60 84 100 110.2 140 159 160.5)
set(desktop_frames ${CMAKE_BINARY_DIR}/frames-gl)
set(linux_trace ${CMAKE_BINARY_DIR}/trace-linux.jsonl)
kelpwax_fixture(desktop-frames ENVIRONMENT SDL_VIDEODRIVER=offscreen
  SETUP $<TARGET_FILE:kelpwax-capture> --at ${frame_positions} -o ${desktop_frames})
kelpwax_fixture(linux-trace
  SETUP ${CMAKE_CURRENT_SOURCE_DIR}/trace/save_trace.sh ${linux_trace} $<TARGET_FILE:kelpwax-trace> ${trace_positions})

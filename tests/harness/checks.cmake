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
cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
set(KELPWAX_TEST_CORES ${cores} CACHE STRING "How many checks that keep a core busy CTest runs at once")

set(harness ${CMAKE_CURRENT_SOURCE_DIR}/harness)
set(state ${CMAKE_BINARY_DIR}/test-state)
set(data ${KELPWAX_DATA_DIR})
set(windows ${KELPWAX_WINDOWS_BUILD})
set(on_display ${harness}/on_display.sh ${state})  # then the screen's group and the command

# The checks' cores, a resource of KELPWAX_TEST_CORES slots (ctest
# --resource-spec-file, as scripts/test.sh runs it): each check takes one,
# except those that play the whole show, which mostly wait on the wall clock
# and so run beside the others.
set(KELPWAX_TEST_RESOURCES ${CMAKE_BINARY_DIR}/test-resources.json)
file(WRITE ${KELPWAX_TEST_RESOURCES} "{
  \"version\": {\"major\": 1, \"minor\": 0},
  \"local\": [{\"cores\": [{\"id\": \"0\", \"slots\": ${KELPWAX_TEST_CORES}}]}]
}
")

# One virtual screen for each group of checks that looks for the show's window
# by its title, so that no check presses a key in another one's show. Xvfb
# picks each screen's number when its fixture starts it.
set(display_groups unit-tests sanitize viewer shows)
foreach(group IN LISTS display_groups)
  add_test(NAME x-server-${group} COMMAND ${harness}/xvfb.sh start ${group} ${state})
  add_test(NAME x-server-${group}-end COMMAND ${harness}/xvfb.sh stop ${group} ${state})
  set_tests_properties(x-server-${group} PROPERTIES FIXTURES_SETUP x-${group} LABELS fixture)
  set_tests_properties(x-server-${group}-end PROPERTIES FIXTURES_CLEANUP x-${group} LABELS fixture)
endforeach()

# kelpwax_check(NAME LABELS [WHOLE_SHOW] [ON_SCREEN GROUP] [NEEDS PATH HOW_TO_BUILD] [WITH FIXTURE...]
#               [ENVIRONMENT VAR=VALUE...] [PROPERTIES NAME VALUE...] COMMAND ...)
# Registers a check with LABELS (a list), run from the show's data folder with
# SDL's dummy sound device, on one of the checks' cores. ON_SCREEN runs it on
# the group's virtual screen, NEEDS skips it when PATH is absent, WITH names the
# fixtures it needs. WHOLE_SHOW marks a check that plays the whole show: it
# starts first, takes no core and may run 400 s.
function(kelpwax_check name label)
  cmake_parse_arguments(PARSE_ARGV 2 check "WHOLE_SHOW" "ON_SCREEN"
    "NEEDS;WITH;ENVIRONMENT;PROPERTIES;COMMAND")
  set(command ${check_COMMAND})
  list(GET command 0 program)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${program})
    list(POP_FRONT command)
    list(PREPEND command ${CMAKE_CURRENT_SOURCE_DIR}/${program})
  endif()
  set(fixtures ${check_WITH})
  if(check_ON_SCREEN)
    list(PREPEND command ${on_display} ${check_ON_SCREEN})
    list(APPEND fixtures x-${check_ON_SCREEN})
  endif()
  if(check_NEEDS)
    list(PREPEND command ${harness}/if_built.sh ${check_NEEDS})
  endif()
  set(properties RESOURCE_GROUPS cores:1)
  if(check_WHOLE_SHOW)
    set(properties COST 1000 TIMEOUT 400)
  endif()
  set(environment SDL_AUDIODRIVER=dummy WINEPREFIX=${windows}/wine-prefix WINEDEBUG=-all ${check_ENVIRONMENT})
  add_test(NAME ${name} COMMAND ${command} WORKING_DIRECTORY ${data})
  set_tests_properties(${name} PROPERTIES LABELS "${label}" ENVIRONMENT "${environment}"
    FIXTURES_REQUIRED "${fixtures}" SKIP_RETURN_CODE 77 ${properties} ${check_PROPERTIES})
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

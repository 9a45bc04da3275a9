# Installs the build tree into a fresh prefix and checks that the installed programs stand on their
# own: both print the version without a display, `wendrel demo` started from an unrelated folder
# serves the corpus under PREFIX/share/wendrel, and `wendrel map` keeps its working files out of bin/.
cmake_minimum_required(VERSION 3.25)
set(prefix ${WORK_DIR}/prefix)
set(elsewhere ${WORK_DIR}/elsewhere)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${elsewhere})
# Fontconfig, which drawing the map loads, keeps its caches until the process ends.
file(WRITE ${WORK_DIR}/lsan.supp "leak:libfontconfig.so\n")

function(run)
  cmake_parse_arguments(RUN "" "OUTPUT" "COMMAND" ${ARGN})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
                          XDG_CACHE_HOME=${WORK_DIR}/cache LSAN_OPTIONS=suppressions=${WORK_DIR}/lsan.supp
                          ${RUN_COMMAND}
                  WORKING_DIRECTORY ${elsewhere} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
                  TIMEOUT 120)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${RUN_COMMAND} failed (${status}):\n${out}\n${err}")
  endif()
  set(${RUN_OUTPUT} "${out}" PARENT_SCOPE)
endfunction()

run(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} OUTPUT ignored)

foreach(file bin/wendrel bin/wendrel-search share/wendrel/demo.sqlite share/wendrel/common_words.txt
             share/applications/wendrel-search.desktop share/icons/hicolor/scalable/apps/wendrel-search.svg
             share/icons/hicolor/256x256/apps/wendrel-search.png share/metainfo/org.wendrel.WendrelSearch.metainfo.xml
             share/man/man1/wendrel.1.gz share/man/man1/wendrel-search.1.gz share/doc/wendrel/NOTICE)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "cmake --install left out ${file}")
  endif()
endforeach()

foreach(program wendrel wendrel-search)
  run(COMMAND ${prefix}/bin/${program} --version OUTPUT version)
  if(NOT version STREQUAL "${program} ${VERSION}\nLicensed under the Apache License 2.0.\n")
    message(FATAL_ERROR "${program} --version printed:\n${version}")
  endif()
endforeach()

# The build tree's corpus must not be the one found: the installed program is run by its path
# from a folder holding nothing of the project.
run(COMMAND ${prefix}/bin/wendrel demo --text network OUTPUT demo)
string(FIND "${demo}" "Local academic search service on ${prefix}/share/wendrel/demo.sqlite at http://127.0.0.1:"
       served)
string(FIND "${demo}" "The first hit as a pearl: " grown)
if(served EQUAL -1 OR grown EQUAL -1)
  message(FATAL_ERROR "the installed wendrel demo did not serve and grow the installed corpus:\n${demo}")
endif()

find_program(sfdp sfdp)
if(sfdp)
  run(COMMAND ${prefix}/bin/wendrel map --ris ${TEST_DATA_DIR}/map_articles.ris --png ${elsewhere}/map.png
      OUTPUT ignored)
  file(GLOB in_bin RELATIVE ${prefix}/bin ${prefix}/bin/*)
  if(NOT EXISTS ${elsewhere}/map.png OR NOT in_bin STREQUAL "wendrel;wendrel-search")
    message(FATAL_ERROR "the installed wendrel map wrote into bin/: ${in_bin}")
  endif()
endif()

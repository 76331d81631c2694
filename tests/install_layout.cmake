# Installs the build into a scratch root, as `make install DESTDIR=... PREFIX=/usr/local`
# does, and checks the layout the programs and the desktop rely on.
#   cmake -DBUILD=<build folder> -DROOT=<scratch folder> -P install_layout.cmake
file(REMOVE_RECURSE ${ROOT})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${ROOT}
                        ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr/local
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "install failed: ${status}")
endif()
set(prefix ${ROOT}/usr/local)
set(folder ${prefix}/lib/veltrane)

# The program folder holds everything the programs look for beside themselves.
foreach(f veltrane veltrane-cli veltrane-plot "user's manual.exe" Handbuch.exe)
  if(NOT EXISTS "${folder}/${f}" OR IS_DIRECTORY "${folder}/${f}")
    message(FATAL_ERROR "missing program ${folder}/${f}")
  endif()
  execute_process(COMMAND test -x "${folder}/${f}" RESULT_VARIABLE not_executable)
  if(not_executable)
    message(FATAL_ERROR "not executable: ${folder}/${f}")
  endif()
endforeach()
foreach(f data.qlm manual/style.css manual/en/index.html manual/de/index.html)
  if(NOT EXISTS ${folder}/${f})
    message(FATAL_ERROR "missing ${folder}/${f}")
  endif()
endforeach()
# Every picture a manual shows is installed with it.
foreach(lang en de)
  file(READ ${folder}/manual/${lang}/index.html page)
  string(REGEX MATCHALL "src=\"[^\"]+\"" pictures "${page}")
  foreach(p ${pictures})
    string(REGEX REPLACE "src=\"([^\"]+)\"" "\\1" p "${p}")
    if(NOT EXISTS ${folder}/manual/${lang}/${p})
      message(FATAL_ERROR "the ${lang} manual shows ${p}, which is not installed")
    endif()
  endforeach()
endforeach()

# bin/ holds relative links that lead to the programs in the program folder.
foreach(program veltrane veltrane-cli)
  if(NOT IS_SYMLINK ${prefix}/bin/${program})
    message(FATAL_ERROR "${prefix}/bin/${program} is not a link")
  endif()
  file(READ_SYMLINK ${prefix}/bin/${program} target)
  if(NOT target STREQUAL "../lib/veltrane/${program}")
    message(FATAL_ERROR "${prefix}/bin/${program} leads to ${target}")
  endif()
endforeach()

# The desktop entry, the icon in every size of the theme, the manual pages.
set(wanted share/applications/veltrane.desktop share/icons/hicolor/scalable/apps/veltrane.svg
           share/man/man1/veltrane.1.gz share/man/man1/veltrane-cli.1.gz
           share/doc/veltrane/README.md)
foreach(size 16 32 48 64 128 256)
  list(APPEND wanted share/icons/hicolor/${size}x${size}/apps/veltrane.png)
endforeach()
foreach(f ${wanted})
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "missing ${prefix}/${f}")
  endif()
endforeach()
file(REMOVE_RECURSE ${ROOT})

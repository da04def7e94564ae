# Gathers the files the setup program and the portable zip hold into one folder:
#   cmake -DBUILD=<build-windows> -DSOURCE=<source tree> -DSTAGE=<folder> -DSTRIP=<strip> -P stage.cmake
# The programs are stripped (their symbols would double their size); the README and the
# licence become .txt files with Windows line ends, for Notepad and its like.
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")
foreach(program IN ITEMS kestrelpad.exe kpad.exe)
  execute_process(COMMAND "${STRIP}" -o "${STAGE}/${program}" "${BUILD}/${program}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
file(COPY "${BUILD}/Kestrelpad.chm" DESTINATION "${STAGE}")
foreach(pair IN ITEMS "README.md=README.txt" "LICENSE=License.txt")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 from)
  list(GET pair 1 to)
  file(READ "${SOURCE}/${from}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${STAGE}/${to}" "${text}")
endforeach()

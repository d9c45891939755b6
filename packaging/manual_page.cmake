# Writes the manual page of kestrix-cli: help2man reads its --help and adds the
# sections of kestrix-cli.h2m; each usage line is kept a line of its own (man
# would fill them into one paragraph); gzip -9n as Debian keeps manual pages.
# cmake -DHELP2MAN=... -DGZIP=... -DPROGRAM=... -DINCLUDE=... -DVERSION=... -DOUTPUT=page.1 -P manual_page.cmake
execute_process(
    COMMAND ${HELP2MAN} --no-info --section=1 --version-string=${VERSION}
            "--name=maintenance of TALMO terminals from the command line" --include=${INCLUDE}
            --output=${OUTPUT} ${PROGRAM}
    COMMAND_ERROR_IS_FATAL ANY)
file(READ ${OUTPUT} page)
string(REGEX REPLACE "\n(kestrix\\\\-cli [^\n]*)" "\n\\1\n.br" page "${page}")
file(WRITE ${OUTPUT} "${page}")
execute_process(COMMAND ${GZIP} -9nf ${OUTPUT} COMMAND_ERROR_IS_FATAL ANY)

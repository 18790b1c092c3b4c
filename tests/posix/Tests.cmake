# Tests of the POSIX backend and of the built program.
